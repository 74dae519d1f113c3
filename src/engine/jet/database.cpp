#include "engine/jet/database.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "engine/core/error.h"
#include "engine/core/secrets.h"
#include "engine/core/text_codec.h"
#include "engine/jet/jet_text.h"

namespace qv::jet {

namespace {

constexpr std::uint32_t kCatalogPage = 2;

// The page cipher of a file whose header says that its pages are encrypted.
std::unique_ptr<crypto::PageCodec> OpenCipher(const PageStore& pages, const DatabaseHeader& h,
                                              const OpenOptions& options, const std::string& path) {
  const Bytes page0 = pages.ReadRaw(0, h.layout.pageSize);
  std::unique_ptr<crypto::PageCodec> codec;
  try {
    codec = options.codecFactory ? options.codecFactory(page0, options.password, h.layout.pageSize, path)
                                 : crypto::OpenEncryption(page0, options.password, h.layout.pageSize, path);
  } catch (const Error& e) {
    // The library answers a wrong password with Access' words alone; the engine's error also
    // names the file (as the Jet password check does), and still nothing else.
    if (e.number() == errc::kWrongPassword) throw Error(errc::kWrongPassword, e.description(), path);
    throw;
  }
  if (!codec)
    throw Error(errc::kEncrypted, "No page cipher for the encrypted database '" + path + "'.", path);
  return codec;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, const OpenOptions& options) {
  // The password (and the page keys made from it) must not reach a core dump.
  if (!options.password.empty()) KeepSecretsOutOfCoreDumps();
  auto file = FileRegistry::Instance().Open(path, options.files ? *options.files : PosixFileSystem());
  {
    std::lock_guard lock(file->openMutex);
    if (file->header.layout.jet3) {
      const int wanted = options.textCodePage ? options.textCodePage : file->header.storedCodePage;
      if (wanted != file->header.codePage) {
        if (file.use_count() > 1)
          throw Error(errc::kFileInUse,
                      "The database '" + path + "' is open with its text in code page " +
                          std::to_string(file->header.codePage ? file->header.codePage : 1252) +
                          "; close it before opening it in code page " + std::to_string(wanted) + ".",
                      path);
        if (wanted < 0 || wanted > 0xFFFF)
          throw Error(errc::kNotSupported, "Code page " + std::to_string(wanted) + " is not a code page.",
                      path);
        TextCodec check(TextCodec::CharsetForCodePage(wanted ? wanted : 1252));  // throws when unknown
        file->header.codePage = static_cast<std::uint16_t>(wanted);
      }
    }
    const DatabaseHeader& h = file->header;
    if (h.officeEncrypted()) {
      if (options.password.empty())
        throw Error(errc::kWrongPassword,
                    "Not a valid password: the database '" + path + "' is encrypted with a password.", path);
    } else {
      CheckPassword(h, options.password, path);
    }
    // Every connection to an .accdb proves its password with a cipher of its own, also when the
    // file's cipher is installed already (the store keeps the first one). The RC4 page encoding
    // of an .mdb has no password: its cipher is made once.
    if (h.officeEncrypted() || (h.rc4Encoded() && !file->pages->hasCipher()))
      file->pages->SetCipher(OpenCipher(*file->pages, h, options, path));
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
  int cId = find("Id"), cName = find("Name"), cType = find("Type"), cFlags = find("Flags"),
      cParent = find("ParentId"), cDb = find("Database"), cForeign = find("ForeignName"),
      cConnect = find("Connect");
  if (cId < 0 || cName < 0 || cType < 0)
    ThrowCorrupt("the catalog (MSysObjects) lacks its Id, Name or Type column",
                 file_->pages->Where(kCatalogPage, 0));
  TableCursor cursor(file_, std::move(def));
  std::vector<Cell> cells;
  const auto& cols = cursor.definition().columns;
  auto value = [&](int i) -> qv::Value {
    if (i < 0) return std::monostate{};
    return cursor.decoder().Decode(cols[static_cast<std::size_t>(i)], cells[static_cast<std::size_t>(i)],
                                   cursor.Where());
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
    if (e.isTable() && EqualIgnoringLetterCase(e.name, name)) return e;
  throw Error(errc::kNoSuchTable, "Table '" + name + "' does not exist in '" + path() + "'.", path());
}

TableDefinition Database::ReadDefinition(const std::string& name) {
  const CatalogEntry& e = FindTable(name);
  return ReadTableDefinition(*file_->pages, file_->header, e.tablePage(), e.name);
}

namespace {

// The "ResultType" property of each column in a property list (MSysObjects.LvProp: "MR2\0", then
// blocks of u32 length, u16 kind; kind 0x80 holds the property names, kinds 0x00 and 0x01 an
// object's or a column's properties; write/property_blob.h has the layout).
std::map<std::string, std::uint8_t> ResultTypes(const Bytes& blob) {
  std::map<std::string, std::uint8_t> out;
  if (blob.size() < 4 || std::memcmp(blob.data(), "MR2\0", 4) != 0) return out;
  auto u16 = [&](std::size_t at) { return LoadU16(blob.data() + at); };
  std::vector<std::string> names;
  for (std::size_t pos = 4; pos + 6 <= blob.size();) {
    const std::size_t length = LoadU32(blob.data() + pos);
    const std::uint16_t kind = u16(pos + 4);
    if (length < 6 || length > blob.size() - pos) break;
    const std::size_t end = pos + length;
    std::size_t p = pos + 6;
    if (kind == 0x80) {
      while (p + 2 <= end) {
        const std::size_t n = u16(p);
        if (n > end - p - 2) break;
        names.push_back(DecodeJet4Text(std::span<const std::uint8_t>(blob.data() + p + 2, n)));
        p += 2 + n;
      }
    } else if ((kind == 0x00 || kind == 0x01) && p + 6 <= end) {
      const std::size_t namePart = LoadU32(blob.data() + p);
      const std::size_t nameLength = u16(p + 4);
      if (namePart >= 6 && nameLength <= namePart - 6 && namePart <= end - p) {
        const std::string column =
            DecodeJet4Text(std::span<const std::uint8_t>(blob.data() + p + 6, nameLength));
        for (std::size_t q = p + namePart; q + 8 <= end;) {
          const std::size_t size = u16(q);
          const std::size_t nameIndex = u16(q + 4);
          const std::size_t valueLength = u16(q + 6);
          if (size < 8 || size > end - q || valueLength > size - 8) break;
          if (kind == 0x01 && valueLength >= 1 && nameIndex < names.size() &&
              names[nameIndex] == "ResultType")
            out[column] = blob[q + 8];
          q += size;
        }
      }
    }
    pos = end;
  }
  return out;
}

}  // namespace

void Database::ApplyResultTypes(TableDefinition& def, const CatalogEntry& entry) {
  if (std::none_of(def.columns.begin(), def.columns.end(), [](const ColumnDef& c) { return c.calculated(); }))
    return;
  TableDefinition objects = ReadTableDefinition(*file_->pages, file_->header, kCatalogPage, "MSysObjects");
  int cId = -1, cProp = -1;
  for (std::size_t i = 0; i < objects.columns.size(); ++i) {
    if (objects.columns[i].name == "Id") cId = static_cast<int>(i);
    if (objects.columns[i].name == "LvProp") cProp = static_cast<int>(i);
  }
  if (cId < 0 || cProp < 0) return;
  TableCursor cursor(file_, std::move(objects));
  std::vector<Cell> cells;
  const auto& cols = cursor.definition().columns;
  while (cursor.NextRow(cells)) {
    const qv::Value id = cursor.decoder().Decode(cols[static_cast<std::size_t>(cId)],
                                                 cells[static_cast<std::size_t>(cId)], cursor.Where());
    const auto* n = std::get_if<std::int64_t>(&id);
    if (!n || static_cast<std::int32_t>(*n) != entry.id) continue;
    const Cell& cell = cells[static_cast<std::size_t>(cProp)];
    if (cell.null) return;
    const auto types = ResultTypes(cursor.decoder().ReadLongValue(cell.bytes, cursor.Where()));
    for (ColumnDef& c : def.columns) {
      if (!c.calculated()) continue;
      const auto it = types.find(c.name);
      if (it != types.end()) c.type = it->second;
    }
    return;
  }
}

std::unique_ptr<TableCursor> Database::OpenCursor(const std::string& name) {
  TableDefinition def = ReadDefinition(name);
  ApplyResultTypes(def, FindTable(name));
  return std::make_unique<TableCursor>(file_, std::move(def));
}

std::unique_ptr<qv::RowReader> Database::ReadTable(const std::string& name, const ReadOptions& options) {
  return std::make_unique<TableRowReader>(OpenCursor(name), options);
}

}  // namespace qv::jet
