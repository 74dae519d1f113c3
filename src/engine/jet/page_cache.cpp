#include "engine/jet/page_cache.h"

namespace qv::jet {

PagePtr PageCache::Use(std::uint32_t n) {
  auto it = index_.find(n);
  if (it == index_.end()) return nullptr;
  lru_.splice(lru_.begin(), lru_, it->second);
  return it->second->second;
}

void PageCache::Add(std::uint32_t n, PagePtr page) {
  if (index_.count(n)) return;
  lru_.emplace_front(n, std::move(page));
  index_[n] = lru_.begin();
}

void PageCache::Erase(std::uint32_t n) {
  if (auto it = index_.find(n); it != index_.end()) {
    lru_.erase(it->second);
    index_.erase(it);
  }
}

void PageCache::Clear() {
  lru_.clear();
  index_.clear();
}

void PageCache::Evict() {
  while (lru_.size() > capacity_) {
    index_.erase(lru_.back().first);
    lru_.pop_back();
  }
}

PagePtr DirtyPages::Find(std::uint32_t n) const {
  if (pages_.empty()) return nullptr;
  auto it = pages_.find(n);
  return it == pages_.end() ? nullptr : it->second;
}

void DirtyPages::Put(std::uint32_t n, PagePtr plain) {
  if (undoActive_ && !undo_.count(n)) undo_[n] = Find(n);
  pages_[n] = std::move(plain);
}

void DirtyPages::BeginUndo(std::uint32_t pageCount) {
  undoActive_ = true;
  undo_.clear();
  undoPageCount_ = pageCount;
}

std::unordered_set<std::uint32_t> DirtyPages::EndUndo(bool keep, std::uint32_t& pageCount) {
  std::unordered_set<std::uint32_t> putBack;
  if (!keep) {
    for (auto& [n, old] : undo_) {
      if (old) pages_[n] = old;
      else pages_.erase(n);
      putBack.insert(n);
    }
    pageCount = undoPageCount_;
  }
  undo_.clear();
  undoActive_ = false;
  return putBack;
}

void DirtyPages::Clear() {
  pages_.clear();
  undo_.clear();
  undoActive_ = false;
}

}  // namespace qv::jet
