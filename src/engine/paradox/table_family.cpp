#include "engine/paradox/table_family.h"

#include <signal.h>

#include <cerrno>
#include <cstdlib>

#include "engine/core/error.h"
#include "engine/paradox/table_name.h"

namespace fs = std::filesystem;

namespace qv::paradox {

namespace {

bool EndsWith(const std::string& name, const std::string& tail) {
  return name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

// The entries of `folder`; none when it cannot be read (what a write meets then is its error).
std::vector<FolderEntry> EntriesOrNone(const fs::path& folder, FileSystem& files) {
  try {
    return files.Entries(folder.string());
  } catch (const Error&) {
    return {};
  }
}

// The temporary files of a writer are "~qv<pid>.<random>-NAME.db-tmp" and ".mb-tmp"; the
// writer holds the whole-file lock of its .db-tmp while it writes it. A pair belongs to a live
// writer when that lock is held (a writer on any machine sharing the folder) or when the process
// named by <pid> runs on this machine (the moments before the lock is taken and after the
// finished file is closed, before its rename). Names without a pid (older writers) count on the
// lock alone.
bool TempFileInUse(const fs::path& folder, const std::string& name, FileSystem& files) {
  const std::string digits = name.substr(3, name.find_first_not_of("0123456789", 3) - 3);
  if (!digits.empty() && name.size() > 3 + digits.size() && name[3 + digits.size()] == '.') {
    const long pid = std::strtol(digits.c_str(), nullptr, 10);
    if (pid > 0 && pid <= 0x7fffffff && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
      return true;
  }
  const std::string db = (folder / (name.substr(0, name.size() - 7) + ".db-tmp")).string();
  if (!files.IsFile(db)) return false;  // an .mb-tmp without its .db-tmp: no writer has it any more
  try {
    return files.Open(db, OpenMode::kRead)->LockWhole() == LockResult::kHeld;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace

std::string TableBaseName(const std::string& tableName) {
  std::string base = tableName;
  if (base.size() > 3 && UpperAscii(base.substr(base.size() - 3)) == ".DB") base.resize(base.size() - 3);
  return base;
}

std::optional<fs::path> FindTableFile(const fs::path& folder, const std::string& tableName,
                                      FileSystem& files) {
  const std::string base = TableBaseName(tableName);
  const std::string want = UpperAscii(base + ".DB");
  std::optional<fs::path> loose;
  for (const FolderEntry& entry : EntriesOrNone(folder, files)) {
    if (!entry.regular || UpperAscii(entry.name) != want) continue;
    if (entry.name == base + ".DB" || entry.name == base + ".db") return folder / entry.name;
    if (!loose) loose = folder / entry.name;
  }
  return loose;
}

std::vector<fs::path> FamilyFiles(const fs::path& folder, const std::string& tableName, FileSystem& files) {
  std::vector<fs::path> out;
  const std::string want = UpperAscii(TableBaseName(tableName));
  for (const FolderEntry& entry : EntriesOrNone(folder, files)) {
    // A link that leads nowhere (dangling, a loop) is still a name of the family: it goes too.
    const std::size_t dot = entry.name.find_last_of('.');
    if (entry.folder || dot == 0 || dot == std::string::npos) continue;
    if (UpperAscii(entry.name.substr(0, dot)) == want && IsFamilyExtension(entry.name.substr(dot)))
      out.push_back(folder / entry.name);
  }
  return out;
}

void DropTableFiles(const fs::path& folder, const std::string& tableName, FileSystem& files) {
  const std::string base = TableBaseName(tableName);
  RemoveStaleTempFiles(folder, files);
  auto db = FindTableFile(folder, base, files);
  if (!db)
    throw Error(errc::kNoSuchTable, "Table '" + base + "' does not exist in '" + folder.string() + "'.",
                folder.string());
  // The .DB goes first: if it cannot be removed the table stays whole.
  std::string why;
  try {
    if (!files.Remove(db->string())) why = "it is gone";
  } catch (const Error& e) {
    why = e.description();
  }
  if (!why.empty())
    throw Error(errc::kFileInUse, "Could not delete '" + db->string() + "': " + why + ".", db->string());
  std::string failed;
  for (const auto& p : FamilyFiles(folder, base, files)) {
    bool removed = false;
    try {
      removed = files.Remove(p.string());
    } catch (const Error&) {
    }
    if (!removed) failed += (failed.empty() ? "" : ", ") + p.filename().string();
  }
  if (!failed.empty())
    throw Error(
        errc::kFileInUse,
        "Table '" + base + "' was dropped but these files of it could not be deleted: " + failed + ".",
        folder.string());
}

void RemoveStaleTempFiles(const fs::path& folder, FileSystem& files) {
  for (const FolderEntry& entry : EntriesOrNone(folder, files)) {
    const std::string& name = entry.name;
    if (entry.folder || name.rfind("~qv", 0) != 0 ||
        !(EndsWith(name, ".db-tmp") || EndsWith(name, ".mb-tmp")))
      continue;
    if (TempFileInUse(folder, name, files)) continue;
    try {
      files.Remove((folder / name).string());
    } catch (const Error&) {
    }
  }
}

}  // namespace qv::paradox
