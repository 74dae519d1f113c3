#include "engine/jet/file_lock.h"

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace qv::jet {

namespace {

// Open-file-description locks where the kernel has them (Linux 3.15 on), process locks otherwise.
int LockCommand(bool set) {
#ifdef F_OFD_SETLK
  return set ? F_OFD_SETLK : F_OFD_GETLK;
#else
  return set ? F_SETLK : F_GETLK;
#endif
}

struct flock Range(short type, std::int64_t offset, std::int64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;  // required by open-file-description locks
  return fl;
}

int Fcntl(int fd, bool set, struct flock& fl) {
  int r = ::fcntl(fd, LockCommand(set), &fl);
#ifdef F_OFD_SETLK
  if (r != 0 && errno == EINVAL) {  // a kernel without open-file-description locks
    fl.l_pid = 0;
    r = ::fcntl(fd, set ? F_SETLK : F_GETLK, &fl);
  }
#endif
  return r;
}

}  // namespace

LockResult TryLockBytes(int fd, std::int64_t offset, std::int64_t length) {
  struct flock fl = Range(F_WRLCK, offset, length);
  for (;;) {
    if (Fcntl(fd, true, fl) == 0) return LockResult::kTaken;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return LockResult::kHeld;
    return LockResult::kUnsupported;  // ENOLCK, EINVAL, EBADF (read-only), ...
  }
}

void UnlockBytes(int fd, std::int64_t offset, std::int64_t length) {
  struct flock fl = Range(F_UNLCK, offset, length);
  while (Fcntl(fd, true, fl) != 0 && errno == EINTR) {
  }
}

bool LockedByOther(int fd, std::int64_t offset, std::int64_t length) {
  struct flock fl = Range(F_WRLCK, offset, length);
  if (Fcntl(fd, false, fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

std::string LockFilePathFor(const std::string& databasePath, bool ace) {
  const std::size_t slash = databasePath.find_last_of('/');
  const std::size_t dot = databasePath.find_last_of('.');
  std::string base = databasePath;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    std::string ext = databasePath.substr(dot + 1);
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "mdb" || ext == "mde" || ext == "accdb" || ext == "accde") base.resize(dot);
  }
  return base + (ace ? ".laccdb" : ".ldb");
}

std::unique_ptr<UserSlot> UserSlot::Join(const std::string& databasePath, bool ace, int fd) {
  // A closing process holds every slot for a moment while it sees whether it was the last; a few
  // short waits let it finish.
  int slot = -1;
  for (int attempt = 0; attempt < 20 && slot < 0; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int s = 0; s < kUserSlots; ++s) {
      const LockResult r = TryLockBytes(fd, kUserLockOffset + s, 1);
      if (r == LockResult::kUnsupported) return nullptr;
      if (r == LockResult::kTaken) {
        slot = s;
        break;
      }
    }
  }
  if (slot < 0) return nullptr;
  std::string lockFile = LockFilePathFor(databasePath, ace);
  int lfd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lfd >= 0) {
    char entry[kLockFileEntrySize] = {};
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "localhost");
    std::memcpy(entry, host, std::min<std::size_t>(std::strlen(host), 31));
    std::memcpy(entry + 32, "Admin", 5);
    const off_t at = static_cast<off_t>(slot) * static_cast<off_t>(kLockFileEntrySize);
    ssize_t n;
    do {
      n = ::pwrite(lfd, entry, sizeof entry, at);
    } while (n < 0 && errno == EINTR);
    ::close(lfd);
  }
  return std::unique_ptr<UserSlot>(new UserSlot(fd, slot, lfd >= 0 ? lockFile : std::string()));
}

UserSlot::~UserSlot() {
  UnlockBytes(fd_, kUserLockOffset + slot_, 1);
  if (lockFile_.empty()) return;
  // Every slot free: no other process has the file open, and none can take a slot while this
  // one holds them all, so the lock file goes as Access removes it after its last user.
  if (TryLockBytes(fd_, kUserLockOffset, kUserSlots) == LockResult::kTaken) {
    ::unlink(lockFile_.c_str());
    UnlockBytes(fd_, kUserLockOffset, kUserSlots);
  }
}

}  // namespace qv::jet
