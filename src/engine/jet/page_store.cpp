#include "engine/jet/page_store.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "engine/core/error.h"

namespace qv::jet {

PageStore::PageStore(std::string fileName, int fd, std::uint32_t pageSize, std::uint64_t fileSize,
                     std::size_t cachePages)
    : fileName_(std::move(fileName)), fd_(fd), pageSize_(pageSize),
      pageCount_(static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSize / pageSize, 0xffffffffu))),
      capacity_(cachePages < 8 ? 8 : cachePages), diskPageCount_(pageCount_) {}

PageStore::~PageStore() {
  if (fd_ >= 0) ::close(fd_);
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
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(fd_, out.data() + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(errc::kDiskIo, "Disk error reading '" + fileName_ + "': " + std::strerror(errno),
                  qv::Where(fileName_, "byte", static_cast<std::int64_t>(offset + done), 0));
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return out;
}

PagePtr PageStore::ReadPage(std::uint32_t n) {
  {
    std::lock_guard lock(mu_);
    if (!dirty_.empty()) {
      auto d = dirty_.find(n);
      if (d != dirty_.end()) return d->second;
    }
    auto it = index_.find(n);
    if (it != index_.end()) {
      lru_.splice(lru_.begin(), lru_, it->second);
      return it->second->second;
    }
  }
  if (n >= pageCount()) {
    ThrowCorrupt("page " + std::to_string(n) + " lies beyond the end of the file (" + std::to_string(pageCount()) +
                     " pages)",
                 Where(n, 0));
  }
  auto page = std::make_shared<Bytes>(ReadRaw(static_cast<std::uint64_t>(n) * pageSize_, pageSize_));
  if (page->size() != pageSize_) ThrowCorrupt("short read of a page", Where(n, page->size()));
  std::shared_ptr<const PageCipher> cipher;
  {
    std::lock_guard lock(mu_);
    cipher = cipher_;
  }
  if (cipher && n != 0) cipher->DecryptPage(n, std::span<std::uint8_t>(page->data(), page->size()));
  std::lock_guard lock(mu_);
  ++misses_;
  if (auto d = dirty_.find(n); d != dirty_.end()) return d->second;  // written meanwhile
  auto it = index_.find(n);
  if (it != index_.end()) return it->second->second;  // another thread won the race
  lru_.emplace_front(n, page);
  index_[n] = lru_.begin();
  while (lru_.size() > capacity_) {
    index_.erase(lru_.back().first);
    lru_.pop_back();
  }
  return page;
}

void PageStore::PutPage(std::uint32_t n, PagePtr plain) {
  if (!plain || plain->size() != pageSize_) throw Error(errc::kGeneric, "page of the wrong size written", Where(n, 0));
  std::lock_guard lock(mu_);
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
  std::lock_guard lock(mu_);
  undoActive_ = true;
  undo_.clear();
  undoPageCount_ = pageCount_;
}

void PageStore::EndUndo(bool keep) {
  std::lock_guard lock(mu_);
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
  std::lock_guard lock(mu_);
  for (auto& [n, page] : dirty_) {
    lru_.emplace_front(n, page);
    index_[n] = lru_.begin();
  }
  dirty_.clear();
  diskPageCount_ = diskPages;
  while (lru_.size() > capacity_) {
    index_.erase(lru_.back().first);
    lru_.pop_back();
  }
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
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(errc::kDiskIo, "Disk error writing '" + fileName_ + "': " + std::strerror(errno),
                  qv::Where(fileName_, "byte", static_cast<std::int64_t>(offset + done), 0));
    }
    done += static_cast<std::size_t>(n);
  }
}

void PageStore::Sync() {
  if (::fsync(fd_) != 0)
    throw Error(errc::kDiskIo, "Disk error flushing '" + fileName_ + "': " + std::strerror(errno), fileName_);
}

}  // namespace qv::jet
