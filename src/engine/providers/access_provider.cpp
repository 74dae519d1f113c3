// The Access provider: a database file opened through the jet engine. Selects stream the table's
// rows; "SELECT * INTO [Paradox 5.x;Database=FOLDER].[NAME.db] FROM [TABLE]" reads the table and
// writes a new Paradox 5.x table through the Paradox engine (type mapping in
// src/engine/paradox/table_writer.h). Statements that change the Access file itself need the
// engine's write side: INSERT INTO runs on its table inserter (tables without indexes), CREATE
// TABLE on its table creator, DROP TABLE and ALTER TABLE ... RENAME TO on its table dropper, SELECT a1.* INTO
// new FROM old AS a1 on its table copier.
#include <filesystem>
#include <string>
#include <utility>
#include <variant>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/table_cursor.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/paradox/paradox_folder.h"
#include "engine/paradox/table_copy.h"
#include "engine/providers/open_providers.h"
#include "engine/sql/parser.h"

namespace qv::providers {
namespace {

class AccessProvider final : public Provider {
 public:
  explicit AccessProvider(std::unique_ptr<qv::jet::Database> db) : db_(std::move(db)) {}

  // Changes still waiting in memory reach the disk now (the last connection's close would write
  // them anyway); a failure of that save, or of an earlier one that lost changes, is thrown to
  // the caller, who reports it.
  void Close() override {
    inserter_.reset();
    db_->Close();
  }

  std::vector<SchemaRow> SchemaTables() override {
    SyncCatalog();
    std::vector<SchemaRow> out;
    for (auto& row : db_->SchemaTables()) out.push_back({row.tableName, row.tableType});
    return out;
  }

  std::unique_ptr<qv::RowReader> Query(std::string_view sql) override {
    const qv::sql::Statement statement = qv::sql::ParseStatement(sql);
    SyncCatalog();
    const auto* select = std::get_if<qv::sql::SelectStatement>(&statement);
    if (select == nullptr || select->into)
      throw Error(errc::kNotSupported, "This statement returns no rows: " + StatementExcerpt(sql),
                  db_->path());
    return db_->ReadTable(TableName(select->from.text));
  }

  void Execute(std::string_view sql) override {
    // The statement tree is kept between calls: a run of INSERTs reuses its strings' room.
    qv::sql::Statement& statement = statement_;
    qv::sql::ParseStatement(sql, statement);
    SyncCatalog();
    if (auto* insert = std::get_if<qv::sql::InsertStatement>(&statement)) return Insert(*insert);
    // Any other statement may change tables: the next INSERT reads its table afresh.
    inserter_.reset();
    if (const auto* select = std::get_if<qv::sql::SelectStatement>(&statement)) {
      if (!select->into) {
        auto rows = db_->ReadTable(TableName(select->from.text));
        qv::Row row;
        while (rows->Next(row)) {
        }
        return;
      }
      if (select->into->external) return FolderErrorsAsErrors([&] { CopyToParadox(*select); });
      return CopyInside(*select);
    }
    if (const auto* create = std::get_if<qv::sql::CreateTableStatement>(&statement)) {
      std::vector<qv::Column> columns;
      for (const auto& c : create->columns) columns.push_back(c.column);  // named by the parser
      qv::jet::CreateTable(*db_, create->table.text, columns);
      return;
    }
    if (const auto* rename = std::get_if<qv::sql::RenameTableStatement>(&statement)) {
      qv::jet::RenameTable(*db_, TableName(rename->table.text), rename->newName.text, rename->replace);
      return;
    }
    const auto& drop = std::get<qv::sql::DropTableStatement>(statement);  // the last kind there is
    qv::jet::DropTable(*db_, TableName(drop.table.text));
  }

 private:
  // Another connection to the file created or dropped a table since this one last looked: read
  // the catalog again, and let go of the kept inserter, whose table may be gone or replaced by
  // another at the same definition page.
  void SyncCatalog() {
    if (!db_->CatalogIsStale()) return;
    inserter_.reset();
    db_->RefreshCatalog();
  }

  // The stored name of the table `name` refers to: an exact match first, else the one that
  // matches without regard to letter case, as the Access engine finds names.
  std::string TableName(const std::string& name) const { return TableEntry(name).name; }

  const qv::jet::CatalogEntry& TableEntry(const std::string& name) const {
    const qv::jet::CatalogEntry* loose = nullptr;
    for (const auto& e : db_->catalog()) {
      if (!e.isTable()) continue;
      if (e.name == name) return e;
      if (loose == nullptr && qv::sql::NamesEqual(e.name, name)) loose = &e;
    }
    if (loose != nullptr) return *loose;
    throw Error(errc::kNoSuchTable,
                "The table '" + name + "' does not exist in the database '" + db_->path() + "'.",
                db_->path());
  }

  // One row of literal values; each is converted by its column's type (the write side's value
  // encoder reads the engines' locale-independent text forms).
  //
  // Rows arrive one statement each, usually many in a row into one table: the inserter (the
  // table's definition, its page hints) is kept while the statements name the same table, so each
  // row does not read the definition and search the table's pages for room again. Any other
  // statement run here drops it.
  void Insert(qv::sql::InsertStatement& insert) {
    const qv::jet::CatalogEntry& entry = InsertTarget(insert.table.text);
    // A kept inserter cannot outlive its table: any other statement here, and any create or
    // drop through another connection (SyncCatalog), lets go of it first.
    if (!inserter_ || inserter_->definition().name != entry.name) {
      inserter_.reset();
      inserter_ = std::make_unique<qv::jet::TableInserter>(*db_, entry.name);
    }
    qv::jet::TableInserter& inserter = *inserter_;
    const auto& columns = inserter.definition().columns;
    if (insert.row.size() != columns.size())
      throw Error(errc::kValueCountMismatch,
                  "The INSERT INTO for '" + insert.table.text + "' gives " +
                      std::to_string(insert.row.size()) + " values for " + std::to_string(columns.size()) +
                      " fields.",
                  db_->path());
    // The parser wrote the values into the statement's row, NULL as NULL and every other literal
    // as its text, which the table inserter converts by each column's type.
    inserter.Insert(insert.row);
  }

  // TableEntry for the INSERTs: the entry the last one named exactly (names are unique in the
  // catalog) is checked first, by its place in the catalog as it is now, before all are searched.
  const qv::jet::CatalogEntry& InsertTarget(const std::string& name) {
    const auto& catalog = db_->catalog();
    if (lastIndex_ < catalog.size()) {
      const qv::jet::CatalogEntry& last = catalog[lastIndex_];
      if (last.isTable() && last.name == name) return last;
    }
    const qv::jet::CatalogEntry& entry = TableEntry(name);
    lastIndex_ = entry.name == name ? static_cast<std::size_t>(&entry - catalog.data()) : catalog.size();
    return entry;
  }

  // A new table of this database with the source's columns and rows; a failed copy leaves no
  // new table (qv::jet::CopyTable).
  void CopyInside(const qv::sql::SelectStatement& select) {
    qv::jet::CopyTable(*db_, TableName(select.from.text), select.into->name.text);
  }

  // The table goes without the columns a Paradox table cannot hold (attachments, multi-value
  // lists, version history); the notes name them. Its code page is the statement's, or the
  // first that holds its text (qv::paradox::CopyToNewTable).
  void CopyToParadox(const qv::sql::SelectStatement& select) {
    const auto& target = *select.into;
    const std::string source = TableName(select.from.text);
    const std::filesystem::path folder(target.external->folder);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
      throw Error(errc::kFileNotFound, "The Paradox folder '" + target.external->folder + "' does not exist.",
                  target.external->folder);
    qv::jet::ReadOptions read;
    read.skipUnreadableColumns = true;
    std::vector<std::string> leftOut;
    bool first = true;
    auto open = [&]() -> std::unique_ptr<qv::RowReader> {
      auto rows = std::make_unique<qv::jet::TableRowReader>(db_->OpenCursor(source), read);
      if (first) {
        for (const auto* c : rows->skippedColumns())
          leftOut.push_back("'" + source + "' went to Paradox without its column '" + c->name + "': " +
                            (c->type == qv::jet::col_type::kComplex
                                 ? std::string("an attachment, multi-value or version-history column, which "
                                               "a Paradox table cannot hold.")
                                 : "a column of the type code " + std::to_string(c->type) +
                                       ", which no Access version documents."));
        first = false;
      }
      return rows;
    };
    qv::paradox::CopyOptions copy;
    copy.codePage = target.external->codePage;
    qv::paradox::CopyToNewTable(folder, target.ExternalTableName(), open, copy);
    notes_.insert(notes_.end(), leftOut.begin(), leftOut.end());
  }

 public:
  std::vector<std::string> TakeNotes() override { return std::exchange(notes_, {}); }

 private:
  std::unique_ptr<qv::jet::Database> db_;
  std::unique_ptr<qv::jet::TableInserter> inserter_;
  std::size_t lastIndex_ = static_cast<std::size_t>(-1);  // InsertTarget's last exact match
  qv::sql::Statement statement_;
  std::vector<std::string> notes_;
};

}  // namespace

std::unique_ptr<Provider> OpenAccessProvider(const qv::sql::ConnectionString& cs) {
  qv::jet::OpenOptions open;
  open.password = cs.password;
  open.textCodePage = cs.codePage;
  return std::make_unique<AccessProvider>(qv::jet::Database::Open(cs.dataSource, open));
}

}  // namespace qv::providers
