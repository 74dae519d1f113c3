#include "engine/jet/page_store.h"

#include <algorithm>

#include "engine/core/error.h"

namespace qv::jet {

PageStore::PageStore(std::unique_ptr<File> file, std::uint32_t pageSize, std::size_t cachePages)
    : file_(std::move(file)),
      fileName_(file_->path()),
      pageSize_(pageSize),
      pageCount_(static_cast<std::uint32_t>(std::min<std::uint64_t>(file_->Size() / pageSize, 0xffffffffu))),
      cache_(cachePages),
      diskPageCount_(pageCount_) {}

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

void PageStore::SetCipher(std::shared_ptr<const crypto::PageCodec> cipher) {
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

PagePtr PageStore::ReadPage(std::uint32_t n) {
  std::unique_lock lock(mu_);
  for (;;) {
    if (PagePtr written = dirty_.Find(n)) return written;
    // A read inside the worker's window keeps the window kAheadWindow pages ahead of it, moving
    // it on by whole batches (the worker wakes once per system call's worth of pages).
    if (n < aheadEnd_ && n + kAheadWindow >= aheadEnd_ + kWorkerBatch) {
      const std::uint32_t end = std::min(aheadEnd_ + kWorkerBatch, ReadableEndLocked());
      if (end > aheadEnd_) {
        aheadEnd_ = end;
        wake_.notify_one();
      }
    }
    if (PagePtr cached = cache_.Use(n)) return cached;
    // The worker is decrypting this page right now: wait for it rather than decrypt it twice.
    // When it could not (a failed read), the page is not cached and is read below, which gives
    // the caller the error of this page as if there were no worker.
    if (!InFlightLocked(n)) break;
    landed_.wait(lock, [&] { return !InFlightLocked(n); });
  }
  if (n >= pageCount_) {
    ThrowCorrupt("page " + std::to_string(n) + " lies beyond the end of the file (" +
                     std::to_string(pageCount_) + " pages)",
                 Where(n, 0));
  }
  // A miss right after a miss of the page before is taken as a sequential read (a table scan
  // walks its pages in page order): the pages after it that are neither cached, written in
  // memory nor being read by the worker come along in the same read, up to kReadAhead pages in
  // all. One system call per eight pages instead of one per page; each page is still decrypted
  // and cached on its own.
  std::uint32_t run = 1;
  const std::shared_ptr<const crypto::PageCodec> cipher = cipher_;
  const bool sequential = n != 0 && n == lastMiss_ + 1;
  if (sequential) {
    const std::uint32_t end = ReadableEndLocked();
    while (run < kReadAhead && n + run < end && !cache_.Contains(n + run) && !dirty_.Contains(n + run) &&
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
    if (cipher && n + k != 0)
      cipher->DecryptPage(n + k, std::span<std::uint8_t>(pages[k]->data(), pageSize_));
  lock.lock();
  ++misses_;
  // The pages read ahead first (least recent), the page asked for last (most recent); a page
  // written or cached meanwhile keeps what it has.
  for (std::uint32_t k = run; k-- > 1;) CacheLocked(n + k, pages[k]);
  lastMiss_ = n + run - 1;
  PagePtr result = dirty_.Find(n);      // written meanwhile
  if (!result) result = cache_.Use(n);  // another thread won the race
  if (!result) {
    cache_.Add(n, pages[0]);
    result = pages[0];
  }
  cache_.Evict();
  if (sequential && cipher) StartAheadLocked(n + run);
  return result;
}

void PageStore::CacheLocked(std::uint32_t n, PagePtr page) {
  if (!dirty_.Contains(n)) cache_.Add(n, std::move(page));
}

std::size_t PageStore::ReadPagesInto(std::uint64_t offset,
                                     std::vector<std::span<std::uint8_t>>& parts) const {
  return file_->ReadScattered(offset, parts);
}

void PageStore::PutPage(std::uint32_t n, PagePtr plain) {
  if (!plain || plain->size() != pageSize_)
    throw Error(errc::kGeneric, "page of the wrong size written", Where(n, 0));
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  if (n > pageCount_) ThrowCorrupt("page written beyond the end of the file", Where(n, 0));
  if (n == pageCount_) ++pageCount_;
  dirty_.Put(n, std::move(plain));
  cache_.Erase(n);
}

PageStore::DirtyState PageStore::SaveDirty() const {
  std::lock_guard lock(mu_);
  return {dirty_.pages(), pageCount_};
}

void PageStore::BeginUndo() {
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  dirty_.BeginUndo(pageCount_);
}

void PageStore::EndUndo(bool keep) {
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  const auto putBack = dirty_.EndUndo(keep, pageCount_);
  if (!keep) cache_.EraseIf([&](std::uint32_t n) { return n >= pageCount_ || putBack.count(n) != 0; });
}

void PageStore::MarkClean(std::uint32_t diskPages) {
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  for (const auto& [n, page] : dirty_.pages()) cache_.Add(n, page);
  dirty_.ClearPages();
  diskPageCount_ = diskPages;
  cache_.Evict();
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
  std::shared_ptr<const crypto::PageCodec> cipher;
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
  dirty_.Clear();
  pageCount_ = diskPageCount_;
  cache_.Clear();
  lastMiss_ = 0xffffffffu;
}

void PageStore::ReloadFromDisk() {
  const std::uint64_t size = file_->Size();
  std::unique_lock lock(mu_);
  CancelAheadLocked(lock);
  if (!dirty_.empty())
    throw Error(errc::kGeneric, "pages of '" + fileName_ + "' reloaded while written", fileName_);
  cache_.Clear();
  lastMiss_ = 0xffffffffu;
  pageCount_ = diskPageCount_ =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(size / pageSize_, 0xffffffffu));
}

void PageStore::Sync() {
  file_->Sync();
}

}  // namespace qv::jet
