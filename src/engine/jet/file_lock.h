// Locks between processes on an open database file, placed where the Access engine places its
// own (docs/formats/jet-writing.md, "Locks between processes"):
//  - the writer lock: one byte at 0x10000000 of the database file, held exclusively by the one
//    process that changes the file, from its first change to its close, and for a moment by a
//    process that undoes a journal left by a writer that stopped;
//  - user locks: one byte per process that writes the file, at 0x10000001 + slot (slot 0..254,
//    Jet's range of user locks), with the process's entry (computer name and user name) at
//    slot x 64 of the lock file beside the database (".ldb" for .mdb files, ".laccdb" for .accdb
//    files). The last process to close removes the lock file.
// The locks are advisory: they keep no byte from a reader, even where a file larger than
// 256 MiB stores pages at those offsets. Locks belong to the open file (Linux
// open-file-description locks), so a process that opens and closes the file a second time (a
// test reading its bytes) keeps them, and a process that ends loses them: a lock that is held
// always belongs to a live process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/file_system.h"

namespace qv::jet {

inline constexpr std::int64_t kWriterLockOffset = 0x10000000;
inline constexpr std::int64_t kUserLockOffset = 0x10000001;
inline constexpr int kUserSlots = 255;
inline constexpr std::size_t kLockFileEntrySize = 64;  // 32 bytes computer name, 32 bytes user name

// An exclusive lock on [offset, offset + length) of `file` (open for writing), without waiting.
inline LockResult TryLockBytes(File& file, std::int64_t offset, std::int64_t length) {
  return file.TryLock(offset, length);
}
inline void UnlockBytes(File& file, std::int64_t offset, std::int64_t length) {
  file.Unlock(offset, length);
}
// True when another open of the file holds a lock on the range (`file` may be read-only).
inline bool LockedByOther(const File& file, std::int64_t offset, std::int64_t length) {
  return file.LockedByOther(offset, length);
}

// "<folder>/<name>.ldb" for Jet files, ".laccdb" for ACE files; the database's own extension
// (.mdb, .accdb, .mde, .accde) is replaced, any other name gets the extension added.
std::string LockFilePathFor(const std::string& databasePath, bool ace);

// This process's user slot on a database it has open with write access: the user lock and the
// entry in the lock file. Released (and the lock file removed when no slot is left taken) when
// destroyed, which must happen before `file` is closed.
class UserSlot {
 public:
  // Null when the file system takes no locks or no slot came free; a lock file that cannot be
  // made (a read-only folder) leaves the slot without an entry.
  static std::unique_ptr<UserSlot> Join(const std::string& databasePath, bool ace, File& file);
  ~UserSlot();
  UserSlot(const UserSlot&) = delete;
  UserSlot& operator=(const UserSlot&) = delete;

  int slot() const { return slot_; }
  const std::string& lockFilePath() const { return lockFile_; }

 private:
  UserSlot(File& file, int slot, std::string lockFile)
      : file_(file), slot_(slot), lockFile_(std::move(lockFile)) {}
  File& file_;
  int slot_;
  std::string lockFile_;
};

}  // namespace qv::jet
