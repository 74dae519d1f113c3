#include "engine/paradox/paradox_folder.h"

#include <algorithm>

#include "engine/core/error.h"

namespace fs = std::filesystem;

namespace qv::paradox {

namespace {
std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

ParadoxFolder::ParadoxFolder(fs::path folder) : folder_(std::move(folder)) {
  std::error_code ec;
  if (!fs::is_directory(folder_, ec))
    throw Error(errc::kFileNotFound, "Could not find the Paradox folder '" + folder_.string() + "'.",
                folder_.string());
}

std::vector<std::string> ParadoxFolder::ListTables() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path p = it->path();
    // Only a regular file (through links) is a table: a link that dangles or loops is not.
    std::error_code kind;
    if (Upper(p.extension().string()) != ".DB" || !it->is_regular_file(kind) || kind) continue;
    const std::string stem = p.stem().string();
    if (stem.empty() || stem[0] == '~') continue;
    names.push_back(stem);
  }
  if (ec)
    throw Error(errc::kDiskIo,
                "Could not list the Paradox folder '" + folder_.string() + "': " + ec.message() + ".",
                folder_.string());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string ua = Upper(a), ub = Upper(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

bool ParadoxFolder::HasTable(const std::string& name) const {
  return FindTableFile(folder_, name).has_value();
}

std::unique_ptr<TableReader> ParadoxFolder::OpenTable(const std::string& name,
                                                      const OpenOptions& options) const {
  auto file = FindTableFile(folder_, name);
  if (!file)
    throw Error(errc::kNoSuchTable, "Table '" + name + "' does not exist in '" + folder_.string() + "'.",
                folder_.string());
  return std::make_unique<TableReader>(*file, options);
}

std::unique_ptr<TableWriter> ParadoxFolder::CreateTable(const std::string& name,
                                                        const std::vector<Column>& columns,
                                                        const WriteOptions& options) const {
  return std::make_unique<TableWriter>(folder_, name, columns, options);
}

void ParadoxFolder::DropTable(const std::string& name) const {
  DropTableFiles(folder_, name);
}

}  // namespace qv::paradox
