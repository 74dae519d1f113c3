// A connection to an Access database file: the entry point of the engine. Opening joins the
// file's SharedFile in the FileRegistry (one page cache per file whatever the number of
// connections), checks the password, sets up page decoding and reads the catalog.
//
//   qv::jet::OpenOptions o;
//   o.password = "secret";
//   auto db = qv::jet::Database::Open("/data/orders.mdb", o);
//   for (auto& row : db->SchemaTables()) ...
//   auto rows = db->ReadTable("Orders");  // qv::RowReader
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/core/row_reader.h"
#include "engine/jet/catalog.h"
#include "engine/jet/crypto/encryption.h"
#include "engine/jet/file_registry.h"
#include "engine/jet/table_cursor.h"
#include "engine/jet/table_definition.h"

namespace qv::jet {

struct OpenOptions {
  std::string password;  // UTF-8; the connection string's "Jet OLEDB:Database Password"
  // Opens the page cipher of a file whose pages are encrypted (.mdb RC4 page encoding, .accdb
  // page encryption). Empty: crypto::OpenEncryption.
  crypto::PageCodecFactory codecFactory;
  // Access 97 (Jet3) files: the code page of their text (names, values, the password) when the
  // header's is wrong; 0: the header's. Every connection to one file reads it in one code page.
  int textCodePage = 0;
  // Where the file is: the disk when null. A memory file system (fuzz targets, tests) must
  // outlive the connection.
  FileSystem* files = nullptr;
};

class Database {
 public:
  // Throws qv::Error: 3024 missing file, 3343 not an Access file (or truncated header), 3031
  // wrong or missing password, 3033 page encryption it cannot open, 3049 damaged catalog or
  // encryption header.
  static std::unique_ptr<Database> Open(const std::string& path, const OpenOptions& options = {});

  const std::string& path() const { return file_->path; }
  const DatabaseHeader& header() const { return file_->header; }
  PageStore& pages() { return *file_->pages; }
  const std::shared_ptr<SharedFile>& sharedFile() const { return file_; }

  // Ends this connection's work: the changes waiting in memory are written to disk now. Throws
  // the failure of that save, or of an earlier one that lost changes (3026 disk full, 3043), so
  // a caller reports as saved only what is. Reading may go on afterwards.
  void Close();

  // Every row of MSysObjects, in physical order.
  const std::vector<CatalogEntry>& catalog() const { return catalog_; }
  // Reads the catalog again (after this or another connection created or dropped a table).
  void RefreshCatalog();
  // For the code that changed the catalog: tells every connection to the file that their catalogs
  // are stale, then reads this one's again.
  void CatalogChanged();
  // True when a connection changed the catalog after this one read it.
  bool CatalogIsStale() const { return loadedGeneration_ != file_->catalogGeneration.load(); }
  // The TABLES schema rowset (what OpenSchema(20) gives), in catalog order.
  std::vector<SchemaTableRow> SchemaTables() const;
  // User tables' names in catalog order.
  std::vector<std::string> UserTableNames() const;

  // The table named `name` (type 1 objects, system tables included): the exact name first, then
  // without regard to (ASCII) letter case, as Access compares names. Throws 3376 when there is
  // none.
  const CatalogEntry& FindTable(const std::string& name) const;
  // The definition as stored (calculated columns carry a storage type there).
  TableDefinition ReadDefinition(const std::string& name);
  // A cursor over the table, whose calculated columns carry their result type (the column's
  // "ResultType" property), the type their values are read as.
  std::unique_ptr<TableCursor> OpenCursor(const std::string& name);
  std::unique_ptr<qv::RowReader> ReadTable(const std::string& name, const ReadOptions& options = {});

 private:
  explicit Database(std::shared_ptr<SharedFile> file) : file_(std::move(file)) {}
  void LoadCatalog();
  void ApplyResultTypes(TableDefinition& def, const CatalogEntry& entry);

  std::shared_ptr<SharedFile> file_;
  std::vector<CatalogEntry> catalog_;
  std::uint64_t loadedGeneration_ = 0;  // the file's catalog generation catalog_ was read at
};

}  // namespace qv::jet
