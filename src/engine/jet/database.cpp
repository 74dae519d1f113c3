#include "engine/jet/database.h"

#include "engine/core/error.h"
#include "engine/core/secrets.h"
#include "engine/core/text_codec.h"
#include "engine/jet/office_cipher.h"
#include "engine/jet/rc4_page_cipher.h"

namespace qv::jet {

namespace {
constexpr std::uint32_t kCatalogPage = 2;
}

std::unique_ptr<Database> Database::Open(const std::string& path, const OpenOptions& options) {
  // The password (and the page keys made from it) must not reach a core dump.
  if (!options.password.empty()) KeepSecretsOutOfCoreDumps();
  auto file = FileRegistry::Instance().Open(path);
  {
    std::lock_guard lock(file->openMutex);
    const DatabaseHeader& h = file->header;
    if (h.officeEncrypted()) {
      if (options.password.empty())
        throw Error(errc::kWrongPassword,
                    "Not a valid password: the database '" + path + "' is encrypted with a password.", path);
      PageCipherFactory factory = options.cipherFactory ? options.cipherFactory : DefaultOfficeCipherFactory();
      if (!factory)
        throw Error(errc::kEncrypted,
                    "The database '" + path +
                        "' is encrypted with a password (Office page encryption), which this version cannot open.",
                    path);
      PageCipherRequest req;
      req.fileName = path;
      Bytes raw = file->pages->ReadRaw(0, h.layout.pageSize);
      req.rawHeaderPage = raw;
      req.headerPage = h.plainPage;
      req.pageSize = h.layout.pageSize;
      req.versionByte = static_cast<std::uint8_t>(h.version);
      req.password = options.password;
      // Every connection proves the password, even when the cipher is already installed.
      std::shared_ptr<const PageCipher> cipher = factory(req);
      if (!cipher) throw Error(errc::kEncrypted, "No page cipher for the encrypted database '" + path + "'.", path);
      file->pages->SetCipher(std::move(cipher));
    } else {
      CheckPassword(h, options.password, path);
      if (h.rc4Encoded() && !file->pages->hasCipher())
        file->pages->SetCipher(std::make_shared<Rc4PageCipher>(h.databaseKey));
    }
  }
  std::unique_ptr<Database> db(new Database(std::move(file)));
  db->LoadCatalog();
  return db;
}

void Database::Close() {
  std::lock_guard lock(file_->writeMutex);
  if (file_->writeState) file_->writeState->Flush();
}

void Database::RefreshCatalog() {
  std::vector<CatalogEntry> old;
  old.swap(catalog_);
  try {
    LoadCatalog();
  } catch (...) {
    catalog_.swap(old);
    throw;
  }
}

void Database::CatalogChanged() {
  ++file_->catalogGeneration;
  RefreshCatalog();
}

void Database::LoadCatalog() {
  // Taken before the rows are read: a change made meanwhile leaves the catalog marked stale.
  const std::uint64_t generation = file_->catalogGeneration.load();
  TableDefinition def = ReadTableDefinition(*file_->pages, file_->header, kCatalogPage, "MSysObjects");
  auto find = [&](const char* name) -> int {
    for (std::size_t i = 0; i < def.columns.size(); ++i)
      if (def.columns[i].name == name) return static_cast<int>(i);
    return -1;
  };
  int cId = find("Id"), cName = find("Name"), cType = find("Type"), cFlags = find("Flags"), cParent = find("ParentId"),
      cDb = find("Database"), cForeign = find("ForeignName"), cConnect = find("Connect");
  if (cId < 0 || cName < 0 || cType < 0)
    ThrowCorrupt("the catalog (MSysObjects) lacks its Id, Name or Type column", file_->pages->Where(kCatalogPage, 0));
  TableCursor cursor(file_, std::move(def));
  std::vector<Cell> cells;
  const auto& cols = cursor.definition().columns;
  auto value = [&](int i) -> qv::Value {
    if (i < 0) return std::monostate{};
    return cursor.decoder().Decode(cols[static_cast<std::size_t>(i)], cells[static_cast<std::size_t>(i)], cursor.Where());
  };
  auto asInt = [](const qv::Value& v) -> std::int64_t {
    if (auto p = std::get_if<std::int64_t>(&v)) return *p;
    return 0;
  };
  auto asText = [](const qv::Value& v) -> std::string {
    if (auto p = std::get_if<std::string>(&v)) return *p;
    return {};
  };
  while (cursor.NextRow(cells)) {
    CatalogEntry e;
    e.id = static_cast<std::int32_t>(asInt(value(cId)));
    e.name = asText(value(cName));
    e.type = static_cast<int>(asInt(value(cType)));
    e.flags = static_cast<std::uint32_t>(asInt(value(cFlags)));
    e.parentId = static_cast<std::int32_t>(asInt(value(cParent)));
    e.database = asText(value(cDb));
    e.foreignName = asText(value(cForeign));
    e.connect = asText(value(cConnect));
    catalog_.push_back(std::move(e));
  }
  loadedGeneration_ = generation;
}

std::vector<SchemaTableRow> Database::SchemaTables() const {
  std::vector<SchemaTableRow> out;
  for (const auto& e : catalog_)
    if (auto type = SchemaTypeOf(e)) out.push_back({e.name, *type});
  return out;
}

std::vector<std::string> Database::UserTableNames() const {
  std::vector<std::string> out;
  for (const auto& e : catalog_)
    if (IsUserTable(e)) out.push_back(e.name);
  return out;
}

const CatalogEntry& Database::FindTable(const std::string& name) const {
  for (const auto& e : catalog_)
    if (e.isTable() && e.name == name) return e;
  // Access compares object names without regard to case.
  for (const auto& e : catalog_)
    if (e.isTable() && EqualIgnoringAsciiCase(e.name, name)) return e;
  throw Error(errc::kNoSuchTable, "Table '" + name + "' does not exist in '" + path() + "'.", path());
}

TableDefinition Database::ReadDefinition(const std::string& name) {
  const CatalogEntry& e = FindTable(name);
  return ReadTableDefinition(*file_->pages, file_->header, e.tablePage(), e.name);
}

std::unique_ptr<TableCursor> Database::OpenCursor(const std::string& name) {
  return std::make_unique<TableCursor>(file_, ReadDefinition(name));
}

std::unique_ptr<qv::RowReader> Database::ReadTable(const std::string& name, const ReadOptions& options) {
  return std::make_unique<TableRowReader>(OpenCursor(name), options);
}

}  // namespace qv::jet
