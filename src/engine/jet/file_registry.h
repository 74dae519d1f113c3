// The one process-wide registry of open database files. Every connection to a file goes through
// it, so all connections to the same file (same file system, device and inode, whatever path
// named it) share one SharedFile: one open file, one decoded header, one page cache. The entry lives as long
// as a connection holds it and disappears with the last one.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "engine/jet/file_lock.h"
#include "engine/jet/header.h"
#include "engine/jet/page_store.h"

namespace qv::jet {

// What the write side keeps per open file (journal, page allocator, checkpoint clock). It lives
// in SharedFile so that every connection writing to the file shares it; it is destroyed before
// the page store, which lets it checkpoint when the last connection goes.
class FileWriteState {
 public:
  virtual ~FileWriteState() = default;
  // Writes the changes waiting in memory to disk (a checkpoint). Throws the failure of this save,
  // or of an earlier one that lost changes, as a qv::Error.
  virtual void Flush() = 0;
};

struct SharedFile {
  std::string path;             // as the first connection named it
  FileSystem* files = nullptr;  // where it was opened (the disk unless a test or fuzz target says)
  DatabaseHeader header;
  std::unique_ptr<PageStore> pages;
  // This process's user lock and lock-file entry (file_lock.h), taken when it starts writing;
  // released before the page store closes the file, after the write state (declared later) has
  // made its last checkpoint.
  std::unique_ptr<UserSlot> userSlot;
  std::mutex openMutex;                        // serialises password checks and cipher set-up
  std::recursive_mutex writeMutex;             // held by a connection for the whole of one write operation
  std::unique_ptr<FileWriteState> writeState;  // created by the first writer
  // Counts the changes to the catalog (tables created or dropped) made by any connection, so that
  // a connection can tell that its copy of the catalog, and anything it keeps from it, is stale.
  std::atomic<std::uint64_t> catalogGeneration{0};
};

class FileRegistry {
 public:
  static FileRegistry& Instance();

  // Opens `path` or joins the connections that have it open. Throws 3024 (errc::kFileNotFound)
  // when there is no such file, 3043 (kDiskIo) when it cannot be read, 3343 (kNotADatabase) when
  // it is not an Access database. No password is checked here. A file is opened for reading and
  // writing when the process may write it (read-only otherwise: writes are then refused); an
  // interrupted checkpoint found beside it (rollback_journal.h) is undone first, unless another
  // process holds the writer lock (file_lock.h): the journal of a live writer is left alone.
  // `files` is where the file is (the disk by default); a memory file system must outlive the
  // connections to its files.
  std::shared_ptr<SharedFile> Open(const std::string& path, FileSystem& files = PosixFileSystem());

  // Files open right now (for tests).
  std::size_t openCount();

 private:
  FileRegistry() = default;
  std::mutex mu_;
  std::map<std::pair<const FileSystem*, FileId>, std::weak_ptr<SharedFile>> files_;
};

}  // namespace qv::jet
