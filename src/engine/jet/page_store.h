// The pager: every page of a database file is read through here, once per cache miss (a miss
// right after a miss of the page before reads the next few pages along), and decoded through the
// file's page cipher (a crypto::PageCodec: the old RC4 page encoding of .mdb files or the page
// encryption of .accdb files) before anyone sees it. Pages come back as shared, immutable
// buffers, so a reader can hold a page while the cache moves on. One PageStore per open file,
// shared by all connections to that file (see FileRegistry); it is safe to use from several
// threads.
//
// Writing: PutPage keeps new page content in memory (shared by every connection); the write side
// checkpoints it to disk through the rollback journal (docs/formats/jet-writing.md).
//
// Background decryption: when the file has a page cipher and is read in page order, a worker
// thread of this store reads and decrypts the pages just ahead of the reader while the reader
// decodes the ones it has (see page_store.cpp). It runs only while no page is written in memory
// and no write operation is open; any write stops it first and throws away what it was reading.
// The thread is started by the first such read and joined when the store goes (with the last
// connection to the file).
//
// The parts: the cache of pages as on disk and the pages written in memory with their undo
// record (page_cache.h), the read-ahead worker (page_store_read_ahead.cpp), and the file itself
// (engine/core/file_system.h); this class holds them under one mutex and decides between them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/file_system.h"
#include "engine/jet/crypto/page_codec.h"
#include "engine/jet/page_cache.h"

namespace qv::jet {

class PageStore {
 public:
  // Takes the open database file.
  PageStore(std::unique_ptr<File> file, std::uint32_t pageSize, std::size_t cachePages = 512);
  ~PageStore();
  PageStore(const PageStore&) = delete;
  PageStore& operator=(const PageStore&) = delete;

  const std::string& fileName() const { return fileName_; }
  std::uint32_t pageSize() const { return pageSize_; }
  // Whole pages in the file (a partial last page does not count).
  std::uint32_t pageCount() const;

  // Installs the page decoder. Page 0 is never decoded. Later calls replace nothing: the first
  // cipher stays (all connections share the decoded cache).
  void SetCipher(std::shared_ptr<const crypto::PageCodec> cipher);
  bool hasCipher() const;

  // Page `n` in plain form. Throws kCorrupt naming the file and page when the page lies beyond
  // the end of the file, and kDiskIo when the read fails.
  PagePtr ReadPage(std::uint32_t n);

  // Bytes [offset, offset + length) of the file as stored (no decoding); shorter at the end.
  Bytes ReadRaw(std::uint64_t offset, std::size_t length) const;

  // "file, page n, offset 0x..": the place text of errors.
  std::string Where(std::uint32_t page, std::size_t offset) const;

  std::uint64_t cacheMisses() const { return misses_; }

  // Background decryption of sequential reads (on by default where there is more than one
  // processor; it only ever runs for a file with a page cipher). Turning it off stops the
  // worker's current read-ahead and waits for it; reads then decrypt on the caller's thread
  // only. The bytes served are the same either way.
  void SetBackgroundDecrypt(bool on);

  // ---- Hooks of the write side (src/engine/jet/write). Pages written by a connection stay in
  // memory as "dirty" pages until the next checkpoint puts them on disk through the rollback
  // journal; every reader of this store sees them at once. ----

  // True when the file was opened for writing.
  bool writable() const { return writable_; }
  void SetWritable(bool w) { writable_ = w; }
  // Gives page `n` new plain content. `n` may be pageCount() (the file grows by one page).
  void PutPage(std::uint32_t n, PagePtr plain);
  // The dirty pages in page order, and the page count they imply.
  struct DirtyState {
    std::map<std::uint32_t, PagePtr> pages;
    std::uint32_t pageCount = 0;
  };
  DirtyState SaveDirty() const;
  // Undo of one operation: from BeginUndo on, the first PutPage of each page remembers what the
  // page was; EndUndo(false) puts every such page (and the page count) back, EndUndo(true) keeps
  // the changes. Operations do not nest.
  void BeginUndo();
  void EndUndo(bool keep);
  // After a checkpoint wrote every dirty page: they become ordinary cached pages.
  void MarkClean(std::uint32_t diskPages);
  std::size_t dirtyCount() const;
  // Pages on disk at the last checkpoint.
  std::uint32_t diskPageCount() const;
  // Plain page content to the bytes stored on disk (through the cipher, when there is one).
  void EncodeForDisk(std::uint32_t n, Bytes& page) const;
  void WriteRaw(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  void Sync();
  // After a checkpoint that failed and was rolled back: every page written in memory since the
  // last checkpoint is dropped, with the cache, so that every connection sees the file as it is
  // on disk again.
  void DiscardDirty();
  // When another process may have changed the file since it was opened (this process takes over
  // writing it): the cache is dropped and the page count read again from the file's size. Only
  // while nothing is written in memory.
  void ReloadFromDisk();
  // The database file, for the rollback journal and the file locks.
  File& file() const { return *file_; }

 private:
  std::unique_ptr<File> file_;
  std::string fileName_;
  std::uint32_t pageSize_;
  std::uint32_t pageCount_;
  mutable std::mutex mu_;
  std::shared_ptr<const crypto::PageCodec> cipher_;
  // Reads the file from `offset` into `parts` (one buffer per page, filled in order; the
  // entries are used up); returns the bytes read, fewer at the end of the file.
  std::size_t ReadPagesInto(std::uint64_t offset, std::vector<std::span<std::uint8_t>>& parts) const;
  // Puts a page just read at the front of the cache unless it is written or cached already.
  void CacheLocked(std::uint32_t n, PagePtr page);

  // ---- The background decryption worker (page_store_read_ahead.cpp; all under mu_). It reads
  // [aheadNext_, aheadEnd_), at most kWorkerBatch pages per system call; the reader moves
  // aheadEnd_ along as it goes. It keeps kAheadWindow pages ahead of the reader: while the reader
  // decodes one batch the worker has the next ones in hand, with room for the worker to be
  // scheduled late on a busy machine. Its batches are larger than the caller's read-ahead since
  // each one costs a wake-up of the worker. At the end of a sequential run up to kAheadWindow
  // pages after it are decrypted that the reader may never ask for (they stay cached). ----
  static constexpr std::uint32_t kWorkerBatch = 16;
  static constexpr std::uint32_t kAheadWindow = 4 * kWorkerBatch;
  void WorkerLoop();
  // Starts or moves the worker's window to the pages after `from` (a sequential read).
  void StartAheadLocked(std::uint32_t from);
  // Stops the read-ahead, makes whatever the worker is reading now be thrown away, and waits
  // until it has let go of the file.
  void CancelAheadLocked(std::unique_lock<std::mutex>& lock);
  bool InFlightLocked(std::uint32_t n) const { return n >= flightLo_ && n < flightHi_; }
  std::uint32_t ReadableEndLocked() const;

  PageCache cache_;
  DirtyPages dirty_;
  std::uint64_t misses_ = 0;
  std::uint32_t lastMiss_ = 0xffffffffu;  // the last page read from disk (read-ahead detection)
  bool writable_ = false;
  std::uint32_t diskPageCount_ = 0;

  // With one processor the worker would only add its hand-overs to the reader's time.
  bool backgroundOn_ = std::thread::hardware_concurrency() > 1;
  bool stop_ = false;
  std::uint32_t aheadNext_ = 0, aheadEnd_ = 0;  // pages the worker is still to read
  std::uint32_t flightLo_ = 0, flightHi_ = 0;   // pages the worker is reading right now
  std::uint64_t epoch_ = 0;                     // moved on by every write: stale reads are dropped
  std::condition_variable wake_;                // the worker waits here for work
  std::condition_variable landed_;              // readers and writers wait here for a flight
  std::thread worker_;                          // last member: joined before the rest goes
};

}  // namespace qv::jet
