#include "engine/paradox/paradox_folder.h"

#include <algorithm>

#include "engine/core/error.h"
#include "engine/paradox/table_name.h"

namespace fs = std::filesystem;

namespace qv::paradox {

ParadoxFolder::ParadoxFolder(fs::path folder, FileSystem& files) : folder_(std::move(folder)), files_(files) {
  if (!files_.IsFolder(folder_.string()))
    throw Error(errc::kFileNotFound, "Could not find the Paradox folder '" + folder_.string() + "'.",
                folder_.string());
}

std::vector<std::string> ParadoxFolder::ListTables() const {
  std::vector<std::string> names;
  std::vector<FolderEntry> entries;
  try {
    entries = files_.Entries(folder_.string());
  } catch (const Error& e) {
    throw Error(errc::kDiskIo,
                "Could not list the Paradox folder '" + folder_.string() + "': " + e.description() + ".",
                folder_.string());
  }
  for (const FolderEntry& entry : entries) {
    // Only a regular file (through links) is a table: a link that dangles or loops is not.
    const std::size_t dot = entry.name.find_last_of('.');
    if (!entry.regular || dot == std::string::npos || UpperAscii(entry.name.substr(dot)) != ".DB") continue;
    const std::string stem = entry.name.substr(0, dot);
    if (stem.empty() || stem[0] == '~') continue;
    names.push_back(stem);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string ua = UpperAscii(a), ub = UpperAscii(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

bool ParadoxFolder::HasTable(const std::string& name) const {
  return FindTableFile(folder_, name, files_).has_value();
}

std::unique_ptr<TableReader> ParadoxFolder::OpenTable(const std::string& name,
                                                      const OpenOptions& options) const {
  auto file = FindTableFile(folder_, name, files_);
  if (!file)
    throw Error(errc::kNoSuchTable, "Table '" + name + "' does not exist in '" + folder_.string() + "'.",
                folder_.string());
  OpenOptions withFiles = options;
  if (!withFiles.files) withFiles.files = &files_;
  return std::make_unique<TableReader>(*file, withFiles);
}

std::unique_ptr<TableWriter> ParadoxFolder::CreateTable(const std::string& name,
                                                        const std::vector<Column>& columns,
                                                        const WriteOptions& options) const {
  WriteOptions withFiles = options;
  if (!withFiles.files) withFiles.files = &files_;
  return std::make_unique<TableWriter>(folder_, name, columns, withFiles);
}

void ParadoxFolder::DropTable(const std::string& name) const {
  DropTableFiles(folder_, name, files_);
}

}  // namespace qv::paradox
