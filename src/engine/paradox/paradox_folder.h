// A folder of Paradox tables used as one database: the public face of the Paradox engine for the
// provider layer. Each .DB file in the folder (any letter case) is a table, named by its file
// name without the extension; tables are found without regard to letter case ("ORDERS" finds
// orders.db).
//
//   ParadoxFolder db("/data/shop");
//   for (auto& name : db.ListTables()) ...
//   auto rows = db.OpenTable("orders");        // a RowReader: columns (with ADO types), count, rows
//   auto out = db.CreateTable("COPY", cols);   // unkeyed Paradox 5.x table
//   out->Append(row); ... out->Close();
//   db.DropTable("COPY");                       // the whole family of files
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/paradox/table_reader.h"
#include "engine/paradox/table_writer.h"

namespace qv::paradox {

class ParadoxFolder {
 public:
  // Throws kFileNotFound when `folder` is not an existing directory. `files` must outlive the
  // folder and the tables it opens.
  explicit ParadoxFolder(std::filesystem::path folder, FileSystem& files = PosixFileSystem());

  const std::filesystem::path& path() const { return folder_; }
  // Names of the tables directly in the folder (file name without ".db"), sorted without regard
  // to case. Names beginning with "~" (temporary files) are left out.
  std::vector<std::string> ListTables() const;
  bool HasTable(const std::string& name) const;
  // Throws kNoSuchTable when the folder has no such table; see TableReader for the rest.
  std::unique_ptr<TableReader> OpenTable(const std::string& name, const OpenOptions& options = {}) const;
  // See TableWriter: the table appears under its name only when Close() succeeds.
  std::unique_ptr<TableWriter> CreateTable(const std::string& name, const std::vector<Column>& columns,
                                           const WriteOptions& options = {}) const;
  // Deletes the table's .DB and every other file of its family; kNoSuchTable when it has no .DB.
  void DropTable(const std::string& name) const;

 private:
  std::filesystem::path folder_;
  FileSystem& files_;
};

}  // namespace qv::paradox
