#include "sources/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "engine/core/error.h"

namespace qv::sources {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether an entry is a real directory (a symlink to one is not).
bool IsDirectoryEntry(const std::string& folder, const dirent& e) {
  if (e.d_type == DT_DIR) return true;
  if (e.d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return lstat((folder + e.d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Iterative match with one back-tracking point for the last '*'.
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool CanOpenFile(const std::string& path) {
  // O_PATH opens without asking for read or write rights, as an open for no access does.
  const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  close(fd);
  return ok;
}

std::vector<std::string> ListFiles(std::string folder, std::string_view pattern) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  std::vector<std::string> names;
  names.reserve(100);
  DirHandle dir(opendir(folder.c_str()));
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR) return names;
    throw Error(errc::kPathFileAccess,
                "Path/File access error: '" + folder + "' (" + std::strerror(errno) + ")", folder);
  }
  while (const dirent* e = readdir(dir.get())) {
    if (e->d_type == DT_DIR) continue;
    if (!WildcardMatch(pattern, e->d_name)) continue;
    if (CanOpenFile(folder + e->d_name)) names.emplace_back(e->d_name);
  }
  names.shrink_to_fit();
  return names;
}

bool HasUnusualCharacters(std::string_view name) {
  std::size_t i = 0;
  while (i < name.size()) {
    const auto b = static_cast<unsigned char>(name[i]);
    std::uint32_t cp = 0;
    std::size_t len = 0;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      return true;
    }
    if (i + len > name.size()) return true;
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(name[i + k]);
      if ((c & 0xC0) != 0x80) return true;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < 32 || (cp >= 127 && cp <= 159) || cp == 63) return true;
    i += len;
  }
  return false;
}

std::string FileNameFromPath(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void AddSubFolders(std::vector<std::string>& folders, bool recursive, const YieldFunction& yield) {
  // The folders of the given collection must exist: looking one up is the step that fails for a
  // start folder that is not there.
  for (const auto& f : folders) {
    struct stat st {};
    if (stat(f.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      throw Error(errc::kPathNotFound, "Path not found: '" + f + "'", f);
  }
  std::vector<std::string> result;
  std::vector<std::string> generation = folders;
  bool first = true;
  while (!generation.empty()) {
    std::vector<std::string> next;
    std::vector<std::string> kept;
    kept.reserve(generation.size());
    for (const auto& folder : generation) {
      if (yield) yield();
      DirHandle dir(opendir(folder.c_str()));
      if (!dir) {
        // Permission denied drops the folder with its files; a folder that vanished since its
        // parent was listed has nothing to list either. Other failures end its enumeration only.
        if (errno == EACCES || errno == EPERM || errno == ENOENT || errno == ENOTDIR) continue;
        kept.push_back(folder);
        continue;
      }
      kept.push_back(folder);
      errno = 0;
      while (const dirent* e = readdir(dir.get())) {
        if (yield) yield();
        const char* name = e->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (!IsDirectoryEntry(folder, *e)) continue;
        if (HasUnusualCharacters(name) || std::strchr(name, '?') != nullptr) continue;
        next.push_back(folder + name + '/');
      }
    }
    if (first) {
      folders = std::move(kept);
      first = false;
    } else {
      result.insert(result.end(), kept.begin(), kept.end());
    }
    if (!recursive) {
      // One level only: the subfolders are added without being searched themselves.
      result.insert(result.end(), next.begin(), next.end());
      break;
    }
    generation = std::move(next);
  }
  folders.insert(folders.end(), result.begin(), result.end());
}

}  // namespace qv::sources
