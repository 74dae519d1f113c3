// The parts of the pager (page_store.h) that keep pages in memory, each without a lock of its
// own: the store calls them under its mutex.
//  - PageCache: decoded pages as they are on disk, most recently used first, up to a capacity.
//  - DirtyPages: pages written in memory since the last checkpoint, and the undo record of the
//    write operation under way (what each page it changed was before, and the page count).
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/core/bytes.h"

namespace qv::jet {

using PagePtr = std::shared_ptr<const Bytes>;

class PageCache {
 public:
  explicit PageCache(std::size_t capacity) : capacity_(capacity < 8 ? 8 : capacity) {}

  bool Contains(std::uint32_t n) const { return index_.count(n) != 0; }
  // The page made most recent; null when it is not cached.
  PagePtr Use(std::uint32_t n);
  // Adds the page as the most recent; a page cached already keeps what it has.
  void Add(std::uint32_t n, PagePtr page);
  void Erase(std::uint32_t n);
  // Drops the pages for which `drop(n)` holds.
  template <class Drop>
  void EraseIf(Drop drop) {
    for (auto it = lru_.begin(); it != lru_.end();) {
      if (drop(it->first)) {
        index_.erase(it->first);
        it = lru_.erase(it);
      } else {
        ++it;
      }
    }
  }
  void Clear();
  // Drops the least recent pages beyond the capacity.
  void Evict();

 private:
  std::size_t capacity_;
  std::list<std::pair<std::uint32_t, PagePtr>> lru_;  // front = most recent
  std::unordered_map<std::uint32_t, std::list<std::pair<std::uint32_t, PagePtr>>::iterator> index_;
};

class DirtyPages {
 public:
  bool empty() const { return pages_.empty(); }
  std::size_t size() const { return pages_.size(); }
  bool Contains(std::uint32_t n) const { return pages_.count(n) != 0; }
  // The page written in memory; null when there is none.
  PagePtr Find(std::uint32_t n) const;
  const std::map<std::uint32_t, PagePtr>& pages() const { return pages_; }

  // Writes page `n`; while an operation is open, the first write of each page remembers what
  // the page was.
  void Put(std::uint32_t n, PagePtr plain);

  // Opens the undo record of one operation; `pageCount` is the page count before it.
  void BeginUndo(std::uint32_t pageCount);
  bool undoActive() const { return undoActive_; }
  // Closes the record. Keeping the changes forgets it; otherwise every page the operation wrote
  // is put back, `pageCount` with it, and those pages are returned.
  std::unordered_set<std::uint32_t> EndUndo(bool keep, std::uint32_t& pageCount);
  // After a checkpoint wrote them: the pages are forgotten, an open undo record is kept.
  void ClearPages() { pages_.clear(); }
  // After a checkpoint that was rolled back: everything is forgotten, the undo record too.
  void Clear();

 private:
  std::map<std::uint32_t, PagePtr> pages_;
  bool undoActive_ = false;
  std::unordered_map<std::uint32_t, PagePtr> undo_;  // null: the page was not dirty
  std::uint32_t undoPageCount_ = 0;
};

}  // namespace qv::jet
