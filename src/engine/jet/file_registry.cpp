#include "engine/jet/file_registry.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/error.h"
#include "engine/jet/rollback_journal.h"

namespace qv::jet {

namespace {

// The journal of a checkpoint cut short is undone here only when no process holds the writer
// lock: a journal beside a file that a live process is writing belongs to a checkpoint under
// way, and undoing it (or deleting it while it is being written) would destroy that writer's
// work. The lock is held while the journal is undone, so no writer starts meanwhile.
bool RecoverStoppedWriter(const std::string& path, int fd, bool writable) {
  if (::access(JournalPathFor(path).c_str(), F_OK) != 0) return false;
  if (!writable) {
    if (LockedByOther(fd, kWriterLockOffset, 1)) return false;
    return RecoverJournal(path, fd, false);  // a hot journal: 3045, the file cannot be repaired read-only
  }
  const LockResult lock = TryLockBytes(fd, kWriterLockOffset, 1);
  if (lock == LockResult::kHeld) return false;
  struct Release {
    int fd;
    bool held;
    ~Release() {
      if (held) UnlockBytes(fd, kWriterLockOffset, 1);
    }
  } release{fd, lock == LockResult::kTaken};
  return RecoverJournal(path, fd, true);
}

}  // namespace

FileRegistry& FileRegistry::Instance() {
  static FileRegistry registry;
  return registry;
}

std::size_t FileRegistry::openCount() {
  std::lock_guard lock(mu_);
  std::size_t n = 0;
  for (auto& [key, weak] : files_) n += weak.expired() ? 0 : 1;
  return n;
}

std::shared_ptr<SharedFile> FileRegistry::Open(const std::string& path) {
  bool writable = true;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && errno != ENOENT && errno != ENOTDIR) {  // read-only file or medium, a folder, ...
    writable = false;
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    int e = errno;
    if (e == ENOENT || e == ENOTDIR)
      throw Error(errc::kFileNotFound, "Could not find file '" + path + "'.", path);
    throw Error(errc::kFileInUse, "Could not open file '" + path + "': " + std::strerror(e) + ".", path);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw Error(errc::kNotADatabase, "Unrecognized database format '" + path + "': not a regular file.", path);
  }
  auto key = std::make_pair(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
  std::lock_guard lock(mu_);
  if (auto it = files_.find(key); it != files_.end()) {
    if (auto shared = it->second.lock()) {
      ::close(fd);
      return shared;
    }
  }
  auto file = std::make_shared<SharedFile>();
  file->path = path;
  try {
    if (RecoverStoppedWriter(path, fd, writable) && ::fstat(fd, &st) != 0)
      throw Error(errc::kDiskIo, "Cannot stat '" + path + "'.", path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  {
    // Page 0 is read raw first: its version byte says how long a page is.
    PageStore probe(path, ::dup(fd), 4096, static_cast<std::uint64_t>(st.st_size));
    Bytes head = probe.ReadRaw(0, 4096);
    try {
      file->header = DecodeHeader(head, path);
    } catch (...) {
      ::close(fd);
      throw;
    }
  }
  file->pages = std::make_unique<PageStore>(path, fd, file->header.layout.pageSize,
                                            static_cast<std::uint64_t>(st.st_size));
  file->pages->SetWritable(writable);
  for (auto it = files_.begin(); it != files_.end();) it = it->second.expired() ? files_.erase(it) : std::next(it);
  files_[key] = file;
  return file;
}

}  // namespace qv::jet
