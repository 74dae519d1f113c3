// The write side of one open database file, shared by every connection that writes it (it lives
// in SharedFile::writeState). It owns three jobs:
//  - operations: WriteOperation locks the file for one change (create, insert, drop, copy) and
//    undoes the change in memory when it fails half-way, so a refused or failed change leaves
//    nothing behind;
//  - pages: new pages come from the free pages of the global usage map (page 1) that we freed
//    ourselves (zeroed), otherwise from the end of the file; freed pages are zeroed and marked free;
//  - checkpoints: changed pages stay in memory (every connection sees them at once) until a
//    checkpoint writes them through the rollback journal: at Close, when a second has passed since
//    the last one, and when too many pages wait.
// Protocol and layouts: docs/formats/jet-writing.md.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "engine/jet/file_registry.h"
#include "engine/jet/write/usage_map_writer.h"

namespace qv::jet {

class FileWriter final : public FileWriteState {
 public:
  // The writer of `file`, made on first use. Throws 3027 (kReadOnly) when the file could only be
  // opened for reading, 3251 for Jet3 files, 3033 for an encrypted file whose page cipher is
  // missing (never the case for a file opened through Database::Open).
  static FileWriter& Attach(SharedFile& file);
  ~FileWriter() override;

  SharedFile& file() { return file_; }
  PageStore& pages() { return *file_.pages; }
  const Layout& layout() const { return file_.header.layout; }

  // A page for new content: a page we freed earlier (zeroed and marked free in the global map, or
  // freed in this session where the map could not list it) or a new page at the end of the file. The page is unmarked in the global map. Its content is
  // all zeros until the caller puts its own.
  std::uint32_t AllocatePage();
  // Zeroes `page` and marks it free in the global map.
  void FreePage(std::uint32_t page);

  // Writes every changed page to disk through the journal (see the class comment).
  void Checkpoint();
  // Checkpoints when a second has passed since the last one or many pages wait.
  void MaybeCheckpoint();

  // Test hook: called at each named step of a checkpoint ("journal-written", "header-synced",
  // "page-written", "database-synced"); a test may end the process there.
  std::function<void(const char* step)> faultHook;
  // Pages waiting in memory before MaybeCheckpoint writes them even within the second.
  std::size_t maxDirtyPages = 4096;

 private:
  explicit FileWriter(SharedFile& file);
  // The global usage map (page 1, row 0), able to add bitmap pages at the end of the file.
  UsageMapWriter GlobalMap();
  void Fault(const char* step) {
    if (faultHook) faultHook(step);
  }

  SharedFile& file_;
  std::chrono::steady_clock::time_point lastCheckpoint_;
  std::uint32_t nextFreeScan_ = 2;  // where the search for reusable free pages goes on
  // Pages freed (zeroed) that the global map could not list (only past the last range a
  // reference map row names): reused first, as long as they are still zero (an undone operation
  // may have put their content back). They are lost to reuse once the file is closed.
  std::set<std::uint32_t> unlisted_;
};

// Writes the changes waiting in memory for `file` to disk now, when it has been written at all
// (a connection calls this at its Close; the last connection's close checkpoints anyway).
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
