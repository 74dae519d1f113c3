#include "engine/jet/file_registry.h"

#include "engine/core/error.h"
#include "engine/jet/rollback_journal.h"

namespace qv::jet {

namespace {

// The journal of a checkpoint cut short is undone here only when no process holds the writer
// lock: a journal beside a file that a live process is writing belongs to a checkpoint under
// way, and undoing it (or deleting it while it is being written) would destroy that writer's
// work. The lock is held while the journal is undone, so no writer starts meanwhile.
bool RecoverStoppedWriter(const std::string& path, File& db, bool writable) {
  if (!db.fileSystem().Exists(JournalPathFor(path))) return false;
  if (!writable) {
    if (LockedByOther(db, kWriterLockOffset, 1)) return false;
    return RecoverJournal(path, db, false);  // a hot journal: 3045, the file cannot be repaired read-only
  }
  const LockResult lock = TryLockBytes(db, kWriterLockOffset, 1);
  if (lock == LockResult::kHeld) return false;
  struct Release {
    File& db;
    bool held;
    ~Release() {
      if (held) UnlockBytes(db, kWriterLockOffset, 1);
    }
  } release{db, lock == LockResult::kTaken};
  return RecoverJournal(path, db, true);
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

std::shared_ptr<SharedFile> FileRegistry::Open(const std::string& path, FileSystem& files) {
  bool writable = true;
  std::unique_ptr<File> db;
  try {
    db = files.Open(path, OpenMode::kReadWrite);
  } catch (const Error& e) {
    if (e.number() == errc::kFileNotFound) throw;
    if (!files.IsFile(path))  // a folder, a device, a pipe
      throw Error(errc::kNotADatabase, "Unrecognized database format '" + path + "': not a regular file.",
                  path);
    writable = false;  // a read-only file or medium
    db = files.Open(path, OpenMode::kRead);
  }
  const auto key = std::make_pair(static_cast<const FileSystem*>(&files), db->id());
  std::lock_guard lock(mu_);
  if (auto it = files_.find(key); it != files_.end()) {
    if (auto shared = it->second.lock()) return shared;
  }
  auto file = std::make_shared<SharedFile>();
  file->path = path;
  file->files = &files;
  RecoverStoppedWriter(path, *db, writable);
  {
    // Page 0 is read raw first: its version byte says how long a page is.
    Bytes head(4096);
    head.resize(db->ReadAt(0, head));
    file->header = DecodeHeader(head, path);
  }
  file->pages = std::make_unique<PageStore>(std::move(db), file->header.layout.pageSize);
  file->pages->SetWritable(writable);
  for (auto it = files_.begin(); it != files_.end();)
    it = it->second.expired() ? files_.erase(it) : std::next(it);
  files_[key] = file;
  return file;
}

}  // namespace qv::jet
