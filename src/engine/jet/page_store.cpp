#include "engine/jet/page_store.h"

#include <algorithm>
#include <system_error>

#include "engine/core/error.h"

namespace qv::jet {

PageStore::PageStore(std::unique_ptr<File> file, std::uint32_t pageSize, std::size_t cachePages)
    : file_(std::move(file)), fileName_(file_->path()), pageSize_(pageSize),
      pageCount_(static_cast<std::uint32_t>(std::min<std::uint64_t>(file_->Size() / pageSize, 0xffffffffu))),
      capacity_(cachePages < 8 ? 8 : cachePages), diskPageCount_(pageCount_) {}

PageStore::~PageStore() {
  if (worker_.joinable()) {
    {
      std::lock_guard lock(mu_);
      stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
  }
}

void PageStore::SetCipher(std::shared_ptr<const PageCipher> cipher) {
  std::lock_guard lock(mu_);
  if (!cipher_) cipher_ = std::move(cipher);
}

bool PageStore::hasCipher() const {
  std::lock_guard lock(mu_);
  return cipher_ != nullptr;
}

std::string PageStore::Where(std::uint32_t page, std::size_t offset) const {
  return qv::Where(fileName_, "page", page, static_cast<std::int64_t>(offset));
}

Bytes PageStore::ReadRaw(std::uint64_t offset, std::size_t length) const {
  Bytes out(length);
  out.resize(file_->ReadAt(offset, out));
  return out;
}

// Pages the caller reads per system call on a sequential read.
constexpr std::uint32_t kReadAhead = 8;
// The worker reads kWorkerBatch pages per system call and keeps kAheadWindow pages ahead of the
// reader: while the reader decodes one batch the worker has the next ones in hand, with room for
// the worker to be scheduled late on a busy machine. Its batches are larger than the caller's
// read-ahead since each one costs a wake-up of the worker. At the end of a sequential run up to
// kAheadWindow pages after it are decrypted that the reader may never ask for (they stay cached).
constexpr std::uint32_t kWorkerBatch = 16;
constexpr std::uint32_t kAheadWindow = 4 * kWorkerBatch;

PagePtr PageStore::ReadPage(std::uint32_t n) {
  std::unique_lock lock(mu_);
  for (;;) {
    if (!dirty_.empty()) {
      auto d = dirty_.find(n);
      if (d != dirty_.end()) return d->second;
    }
    // A read inside the worker's window keeps the window kAheadWindow pages ahead of it, moving
    // it on by whole batches (the worker wakes once per system call's worth of pages).
    if (n < aheadEnd_ && n + kAheadWindow >= aheadEnd_ + kWorkerBatch) {
      const std::uint32_t end = std::min(aheadEnd_ + kWorkerBatch, ReadableEndLocked());
      if (end > aheadEnd_) {
        aheadEnd_ = end;
        wake_.notify_one();
      }
    }
    auto it = index_.find(n);
    if (it != index_.end()) {
      lru_.splice(lru_.begin(), lru_, it->second);
      return it->second->second;
    }
    // The worker is decrypting this page right now: wait for it rather than decrypt it twice.
    // When it could not (a failed read), the page is not cached and is read below, which gives
    // the caller the error of this page as if there were no worker.
    if (!InFlightLocked(n)) break;
    landed_.wait(lock, [&] { return !InFlightLocked(n); });
  }
  if (n >= pageCount_) {
    ThrowCorrupt("page " + std::to_string(n) + " lies beyond the end of the file (" + std::to_string(pageCount_) +
                     " pages)",
                 Where(n, 0));
  }
  // A miss right after a miss of the page before is taken as a sequential read (a table scan
  // walks its pages in page order): the pages after it that are neither cached, written in
  // memory nor being read by the worker come along in the same read, up to kReadAhead pages in
  // all. One system call per eight pages instead of one per page; each page is still decrypted
  // and cached on its own.
  std::uint32_t run = 1;
  const std::shared_ptr<const PageCipher> cipher = cipher_;
  const bool sequential = n != 0 && n == lastMiss_ + 1;
  if (sequential) {
    const std::uint32_t end = ReadableEndLocked();
    while (run < kReadAhead && n + run < end && !index_.count(n + run) && !dirty_.count(n + run) &&
           !InFlightLocked(n + run))
      ++run;
  }
  lastMiss_ = n;
  // The caller got ahead of the worker: the worker goes on after what the caller reads now
  // (and never reads a page the caller is decrypting).
  if (aheadEnd_ > n && aheadNext_ < n + run) aheadNext_ = std::max(aheadNext_, n + run);
  lock.unlock();
  std::vector<std::shared_ptr<Bytes>> pages(run);
  std::vector<std::span<std::uint8_t>> parts(run);
  for (std::uint32_t k = 0; k < run; ++k) {
    pages[k] = std::make_shared<Bytes>(pageSize_);
    parts[k] = std::span<std::uint8_t>(pages[k]->data(), pageSize_);
  }
  const std::size_t got = ReadPagesInto(static_cast<std::uint64_t>(n) * pageSize_, parts);
  if (got < pageSize_) ThrowCorrupt("short read of a page", Where(n, got));
  run = static_cast<std::uint32_t>(std::min<std::size_t>(run, got / pageSize_));  // whole pages only
  for (std::uint32_t k = 0; k < run; ++k)
    if (cipher && n + k != 0) cipher->DecryptPage(n + k, std::span<std::uint8_t>(pages[k]->data(), pageSize_));
  lock.lock();
  ++misses_;
  // The pages read ahead first (least recent), the page asked for last (most recent); a page
  // written or cached meanwhile keeps what it has.
  for (std::uint32_t k = run; k-- > 1;) CacheLocked(n + k, pages[k]);
  lastMiss_ = n + run - 1;
  PagePtr result;
  if (auto d = dirty_.find(n); d != dirty_.end()) {
    result = d->second;  // written meanwhile
  } else if (auto it = index_.find(n); it != index_.end()) {
    result = it->second->second;  // another thread won the race
  } else {
    lru_.emplace_front(n, pages[0]);
    index_[n] = lru_.begin();
    result = pages[0];
  }
  EvictLocked();
  if (sequential && cipher) StartAheadLocked(n + run);
  return result;
}

void PageStore::CacheLocked(std::uint32_t n, PagePtr page) {
  if (dirty_.count(n) || index_.count(n)) return;
  lru_.emplace_front(n, std::move(page));
  index_[n] = lru_.begin();
}

void PageStore::EvictLocked() {
  while (lru_.size() > capacity_) {
    index_.erase(lru_.back().first);
    lru_.pop_back();
  }
}

std::uint32_t PageStore::ReadableEndLocked() const { return std::min(pageCount_, diskPageCount_); }

// The worker may run only while the disk holds what a reader must see: no page written in
// memory (dirty pages are not on disk yet, and a checkpoint is writing the file only while there
// are some) and no write operation open. Every call that changes pages or the file (PutPage,
// the undo calls, MarkClean, WriteRaw) cancels the read-ahead first, so nothing the worker read
// before a write can reach the cache after it.
void PageStore::StartAheadLocked(std::uint32_t from) {
  if (!backgroundOn_ || stop_ || !dirty_.empty() || undoActive_) return;
  const std::uint32_t end = std::min(from + kAheadWindow, ReadableEndLocked());
  if (from >= end) return;
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      backgroundOn_ = false;  // no thread to be had: reads go on decrypting on the caller's thread
      return;
    }
  }
  aheadNext_ = from;
  aheadEnd_ = end;
  wake_.notify_one();
}

void PageStore::CancelAheadLocked(std::unique_lock<std::mutex>& lock) {
  ++epoch_;
  aheadNext_ = aheadEnd_ = 0;
  landed_.wait(lock, [&] { return flightLo_ == flightHi_; });
}

void PageStore::SetBackgroundDecrypt(bool on) {
  std::unique_lock lock(mu_);
  backgroundOn_ = on;
  if (!on) CancelAheadLocked(lock);
}

void PageStore::WorkerLoop() {
  std::unique_lock lock(mu_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || aheadNext_ < aheadEnd_; });
    if (stop_) return;
    // The next run of pages nobody has: cached or written pages are skipped.
    const std::uint32_t limit = std::min(aheadEnd_, ReadableEndLocked());
    std::uint32_t s = aheadNext_;
    while (s < limit && (index_.count(s) || dirty_.count(s))) ++s;
    std::uint32_t e = s;
    while (e < limit && e - s < kWorkerBatch && !index_.count(e) && !dirty_.count(e)) ++e;
    aheadNext_ = e;
    if (s == e) {
      aheadNext_ = aheadEnd_;
      continue;
    }
    flightLo_ = s;
    flightHi_ = e;
    const std::uint64_t epoch = epoch_;
    const std::shared_ptr<const PageCipher> cipher = cipher_;
    lock.unlock();
    // Any failure (a read error, a short read, a cipher that refuses a page) ends the batch at
    // the page it hit: that page stays uncached, so the reader reads it itself and gets the
    // error exactly as without the worker.
    std::uint32_t good = 0;
    std::vector<std::shared_ptr<Bytes>> pages;
    try {
      const std::uint32_t count = e - s;
      pages.resize(count);
      std::vector<std::span<std::uint8_t>> parts(count);
      for (std::uint32_t k = 0; k < count; ++k) {
        pages[k] = std::make_shared<Bytes>(pageSize_);
        parts[k] = std::span<std::uint8_t>(pages[k]->data(), pageSize_);
      }
      const std::size_t whole = ReadPagesInto(static_cast<std::uint64_t>(s) * pageSize_, parts) / pageSize_;
      for (std::uint32_t k = 0; k < whole; ++k) {
        if (cipher && s + k != 0) cipher->DecryptPage(s + k, std::span<std::uint8_t>(pages[k]->data(), pageSize_));
        good = k + 1;
      }
    } catch (...) {
    }
    lock.lock();
    if (epoch == epoch_) {
      for (std::uint32_t k = 0; k < good; ++k) CacheLocked(s + k, pages[k]);
      EvictLocked();
      if (good > 0 && lastMiss_ < s + good - 1) lastMiss_ = s + good - 1;
    }
    if (good < e - s) aheadNext_ = aheadEnd_ = 0;
    flightLo_ = flightHi_ = 0;
    landed_.notify_all();
  }
}

std::size_t PageStore::ReadPagesInto(std::uint64_t offset, std::vector<std::span<std::uint8_t>>& parts) const {
  return file_->ReadScattered(offset, parts);
}

void PageStore::PutPage(std::uint32_t n, PagePtr plain) {
  if (!plain || plain->size() != pageSize_) throw Error(errc::kGeneric, "page of the wrong size written", Where(n, 0));
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  if (n > pageCount_) ThrowCorrupt("page written beyond the end of the file", Where(n, 0));
  if (n == pageCount_) ++pageCount_;
  if (undoActive_ && !undo_.count(n)) {
    auto d = dirty_.find(n);
    undo_[n] = d == dirty_.end() ? nullptr : d->second;
  }
  dirty_[n] = std::move(plain);
  if (auto it = index_.find(n); it != index_.end()) {
    lru_.erase(it->second);
    index_.erase(it);
  }
}

PageStore::DirtyState PageStore::SaveDirty() const {
  std::lock_guard lock(mu_);
  return {dirty_, pageCount_};
}

void PageStore::BeginUndo() {
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  undoActive_ = true;
  undo_.clear();
  undoPageCount_ = pageCount_;
}

void PageStore::EndUndo(bool keep) {
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  if (!keep) {
    for (auto& [n, old] : undo_) {
      if (old) dirty_[n] = old;
      else dirty_.erase(n);
    }
    pageCount_ = undoPageCount_;
    for (auto it = lru_.begin(); it != lru_.end();) {
      if (it->first >= pageCount_ || undo_.count(it->first)) {
        index_.erase(it->first);
        it = lru_.erase(it);
      } else {
        ++it;
      }
    }
  }
  undo_.clear();
  undoActive_ = false;
}

void PageStore::MarkClean(std::uint32_t diskPages) {
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  for (auto& [n, page] : dirty_) {
    lru_.emplace_front(n, page);
    index_[n] = lru_.begin();
  }
  dirty_.clear();
  diskPageCount_ = diskPages;
  EvictLocked();
}

std::size_t PageStore::dirtyCount() const {
  std::lock_guard lock(mu_);
  return dirty_.size();
}

std::uint32_t PageStore::diskPageCount() const {
  std::lock_guard lock(mu_);
  return diskPageCount_;
}

std::uint32_t PageStore::pageCount() const {
  std::lock_guard lock(mu_);
  return pageCount_;
}

void PageStore::EncodeForDisk(std::uint32_t n, Bytes& page) const {
  std::shared_ptr<const PageCipher> cipher;
  {
    std::lock_guard lock(mu_);
    cipher = cipher_;
  }
  if (cipher && n != 0) cipher->EncryptPage(n, std::span<std::uint8_t>(page.data(), page.size()));
}

void PageStore::WriteRaw(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  {
    std::unique_lock lock(mu_);
    CancelAheadLocked(lock);
  }
  file_->WriteAt(offset, bytes);
}

void PageStore::DiscardDirty() {
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  dirty_.clear();
  undo_.clear();
  undoActive_ = false;
  pageCount_ = diskPageCount_;
  lru_.clear();
  index_.clear();
  lastMiss_ = 0xffffffffu;
}

void PageStore::ReloadFromDisk() {
  const std::uint64_t size = file_->Size();
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  if (!dirty_.empty()) throw Error(errc::kGeneric, "pages of '" + fileName_ + "' reloaded while written", fileName_);
  lru_.clear();
  index_.clear();
  lastMiss_ = 0xffffffffu;
  pageCount_ = diskPageCount_ =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(size / pageSize_, 0xffffffffu));
}

void PageStore::Sync() { file_->Sync(); }

}  // namespace qv::jet
