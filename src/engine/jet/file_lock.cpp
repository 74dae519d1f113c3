#include "engine/jet/file_lock.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/core/error.h"

namespace qv::jet {

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

std::unique_ptr<UserSlot> UserSlot::Join(const std::string& databasePath, bool ace, File& file) {
  // A closing process holds every slot for a moment while it sees whether it was the last; a few
  // short waits let it finish.
  int slot = -1;
  for (int attempt = 0; attempt < 20 && slot < 0; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int s = 0; s < kUserSlots; ++s) {
      const LockResult r = TryLockBytes(file, kUserLockOffset + s, 1);
      if (r == LockResult::kUnsupported) return nullptr;
      if (r == LockResult::kTaken) {
        slot = s;
        break;
      }
    }
  }
  if (slot < 0) return nullptr;
  std::string lockFile = LockFilePathFor(databasePath, ace);
  try {
    auto entryFile = file.fileSystem().Open(lockFile, OpenMode::kOpenOrCreate);
    std::uint8_t entry[kLockFileEntrySize] = {};
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "localhost");
    std::memcpy(entry, host, std::min<std::size_t>(std::strlen(host), 31));
    std::memcpy(entry + 32, "Admin", 5);
    try {
      entryFile->WriteAt(static_cast<std::uint64_t>(slot) * kLockFileEntrySize, entry);
    } catch (const Error&) {
      // The entry only tells Access users who else has the file open; the slot holds without it.
    }
  } catch (const Error&) {
    lockFile.clear();  // no lock file could be made (a read-only folder)
  }
  return std::unique_ptr<UserSlot>(new UserSlot(file, slot, lockFile));
}

UserSlot::~UserSlot() {
  UnlockBytes(file_, kUserLockOffset + slot_, 1);
  if (lockFile_.empty()) return;
  // Every slot free: no other process has the file open, and none can take a slot while this
  // one holds them all, so the lock file goes as Access removes it after its last user.
  if (TryLockBytes(file_, kUserLockOffset, kUserSlots) == LockResult::kTaken) {
    try {
      file_.fileSystem().Remove(lockFile_);
    } catch (const Error&) {
      // A lock file left behind is harmless: the next writer takes its slot in it.
    }
    UnlockBytes(file_, kUserLockOffset, kUserSlots);
  }
}

}  // namespace qv::jet
