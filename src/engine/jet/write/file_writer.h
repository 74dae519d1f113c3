// The write side of one open database file, shared by every connection that writes it (it lives
// in SharedFile::writeState). It owns three jobs:
//  - operations: WriteOperation locks the file for one change (create, insert, drop, copy) and
//    undoes the change in memory when it fails half-way, so a refused or failed change leaves
//    nothing behind;
//  - pages: new pages come from the free pages of the global usage map (page 1) that we freed
//    ourselves (zeroed), otherwise from the end of the file; freed pages are zeroed and marked free;
//  - checkpoints: changed pages stay in memory (every connection sees them at once) until a
//    checkpoint writes them through the rollback journal: at Close, when a second has passed since
//    the last one, and when too many pages wait. It writes them in an order where a reader that
//    knows nothing of the journal finds a whole database between any two writes (RankOf). A checkpoint that
//    fails puts the file back as it was at the previous one and drops the changes made since; the failure
//    then stays: every later change and every Close report it, so nothing that was lost is ever taken for
//    saved.
// The writer holds the file's writer lock (file_lock.h) from its creation to its destruction.
// Protocol and layouts: docs/formats/jet-writing.md.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "engine/core/error.h"
#include "engine/jet/file_registry.h"
#include "engine/jet/write/usage_map_writer.h"

namespace qv::jet {

class FileWriter final : public FileWriteState {
 public:
  // The writer of `file`, made on first use. Throws 3027 (kReadOnly) when the file could only be
  // opened for reading, 3033 for an encrypted file whose page cipher is
  // missing (never the case for a file opened through Database::Open), 3045 (kFileInUse) when
  // another process is writing the file, and the failure of an earlier checkpoint that lost
  // changes (see Checkpoint). Made, it first undoes a journal a stopped writer left and reads
  // the file afresh (another process may have changed it since it was opened).
  static FileWriter& Attach(SharedFile& file);
  // Makes the last checkpoint. Its failure, when no caller was told of it before (the file was
  // not closed through Close), is written to standard error: it is never lost silently.
  ~FileWriter() override;

  SharedFile& file() { return file_; }
  PageStore& pages() { return *file_.pages; }
  const Layout& layout() const { return file_.header.layout; }

  // A page for new content: a page we freed earlier (zeroed and marked free in the global map, or
  // freed in this session where the map could not list it) or a new page at the end of the file. The page is
  // unmarked in the global map. Its content is all zeros until the caller puts its own.
  std::uint32_t AllocatePage();
  // Zeroes `page` and marks it free in the global map.
  void FreePage(std::uint32_t page);

  // Writes every changed page to disk through the journal (see the class comment). When it
  // fails, the file is put back as it was at the previous checkpoint (or, when even that fails,
  // left with its journal for the next open to undo), the changes since then are dropped from
  // memory, and a qv::Error (3026 disk full, 3043 other failures) says so; that error is thrown
  // again by every later write and checkpoint of this writer.
  void Checkpoint();
  void Flush() override { Checkpoint(); }
  // The failure of an earlier checkpoint, if any.
  bool failed() const { return failure_ != nullptr; }
  // Pages of the file on disk were freed since the last checkpoint.
  bool freedSinceCheckpoint() const { return !freedSinceCheckpoint_.empty(); }
  // Checkpoints when a second has passed since the last one or many pages wait.
  void MaybeCheckpoint();

  // Test hook: called at each named step of a checkpoint ("journal-written",
  // "header-synced", "page-written", "database-synced", and "rolling-back" before a failed
  // checkpoint is undone); a test may end the process there, or throw a qv::Error to act as a
  // failed write.
  std::function<void(const char* step)> faultHook;
  // Pages waiting in memory before MaybeCheckpoint writes them even within the second.
  std::size_t maxDirtyPages = 4096;

 private:
  FileWriter(SharedFile& file, bool holdsLock);
  // How far a checkpoint got with its journal: none of its own, one being written (not valid
  // yet: the database is untouched), or hot (the database may be partly written).
  enum class JournalPhase { kNone, kWriting, kHot };
  void WriteCheckpoint(const PageStore::DirtyState& state, JournalPhase& phase);
  // After a failed checkpoint: the disk put back, memory dropped, the failure kept and thrown.
  [[noreturn]] void FailCheckpoint(const Error& cause, JournalPhase phase);
  // The global usage map (page 1, row 0), able to add bitmap pages at the end of the file.
  UsageMapWriter GlobalMap();
  void Fault(const char* step) {
    if (faultHook) faultHook(step);
  }

  SharedFile& file_;
  bool holdsLock_;                  // the writer lock is ours (false where the file system takes no locks)
  std::unique_ptr<Error> failure_;  // the failure of a checkpoint that lost changes
  bool failureTold_ = false;        // thrown to a caller at least once
  std::chrono::steady_clock::time_point lastCheckpoint_;
  std::uint32_t nextFreeScan_ = 2;  // where the search for reusable free pages goes on
  // Pages freed (zeroed) that the global map could not list (only past the last range a
  // reference map row names): reused first, as long as they are still zero (an undone operation
  // may have put their content back). They are lost to reuse once the file is closed.
  std::set<std::uint32_t> unlisted_;
  // Pages freed since the last checkpoint: still in use on disk, so not reused before the
  // checkpoint that zeroes them (a page must never change from one table's content to another's
  // within one checkpoint: see "Order of the page writes"). The operation after one that freed
  // pages begins with a checkpoint (WriteOperation).
  std::set<std::uint32_t> freedSinceCheckpoint_;
};

// Writes the changes waiting in memory for `file` to disk now, when it has been written at all
// (a connection calls this at its Close; the last connection's close checkpoints anyway). Throws
// the failure of this checkpoint or of an earlier one that lost changes.
void CheckpointIfWritten(SharedFile& file);

// One change to the file. Holds the file's write lock; when destroyed without Commit() (an
// exception went through), every page the change touched returns to its state before it.
class WriteOperation {
 public:
  explicit WriteOperation(SharedFile& file);
  ~WriteOperation();
  WriteOperation(const WriteOperation&) = delete;
  WriteOperation& operator=(const WriteOperation&) = delete;

  FileWriter& writer() { return writer_; }
  // The change is complete: it stays, and a checkpoint follows when one is due.
  void Commit();

 private:
  std::unique_lock<std::recursive_mutex> lock_;
  FileWriter& writer_;
  bool done_ = false;
};

}  // namespace qv::jet
