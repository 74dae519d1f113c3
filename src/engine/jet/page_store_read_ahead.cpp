// The pager's read-ahead: a worker thread that reads and decrypts the pages just ahead of a
// sequential reader of a file with a page cipher (page_store.h).
#include <algorithm>
#include <system_error>

#include "engine/jet/page_store.h"

namespace qv::jet {

std::uint32_t PageStore::ReadableEndLocked() const {
  return std::min(pageCount_, diskPageCount_);
}

// The worker may run only while the disk holds what a reader must see: no page written in
// memory (dirty pages are not on disk yet, and a checkpoint is writing the file only while there
// are some) and no write operation open. Every call that changes pages or the file (PutPage,
// the undo calls, MarkClean, WriteRaw) cancels the read-ahead first, so nothing the worker read
// before a write can reach the cache after it.
void PageStore::StartAheadLocked(std::uint32_t from) {
  if (!backgroundOn_ || stop_ || !dirty_.empty() || dirty_.undoActive()) return;
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
    while (s < limit && (cache_.Contains(s) || dirty_.Contains(s))) ++s;
    std::uint32_t e = s;
    while (e < limit && e - s < kWorkerBatch && !cache_.Contains(e) && !dirty_.Contains(e)) ++e;
    aheadNext_ = e;
    if (s == e) {
      aheadNext_ = aheadEnd_;
      continue;
    }
    flightLo_ = s;
    flightHi_ = e;
    const std::uint64_t epoch = epoch_;
    const std::shared_ptr<const crypto::PageCodec> cipher = cipher_;
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
        if (cipher && s + k != 0)
          cipher->DecryptPage(s + k, std::span<std::uint8_t>(pages[k]->data(), pageSize_));
        good = k + 1;
      }
    } catch (...) {
    }
    lock.lock();
    if (epoch == epoch_) {
      for (std::uint32_t k = 0; k < good; ++k) CacheLocked(s + k, pages[k]);
      cache_.Evict();
      if (good > 0 && lastMiss_ < s + good - 1) lastMiss_ = s + good - 1;
    }
    if (good < e - s) aheadNext_ = aheadEnd_ = 0;
    flightLo_ = flightHi_ = 0;
    landed_.notify_all();
  }
}

}  // namespace qv::jet
