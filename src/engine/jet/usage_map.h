// Usage maps: which pages belong to a table (or an index, or a long-value column). A map is a row
// whose first byte gives its kind: 0 = inline bitmap (start page, then one bit per page), 1 = a
// list of pages of type 0x05 each holding a bitmap of (page size - 4) * 8 pages. The reader walks
// the set pages in ascending order without building a list, so a table scan needs no memory for
// its page list. See docs/formats/jet.md, "Usage maps".
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/jet/data_page.h"
#include "engine/jet/format.h"
#include "engine/jet/page_store.h"

namespace qv::jet {

class UsageMap {
 public:
  // Reads the map row at `ptr`. Throws kCorrupt on an unknown kind or a damaged row.
  static UsageMap Read(PageStore& store, const Layout& layout, RowPointer ptr);

  std::uint8_t kind() const { return kind_; }
  // Sets `page` to the first marked page >= `from` and returns true, or false when none is left.
  bool NextFrom(std::uint32_t from, std::uint32_t& page);
  // Every marked page (for dumps and small maps).
  std::vector<std::uint32_t> Pages();

 private:
  explicit UsageMap(PageStore& store) : store_(&store) {}
  PageStore* store_;
  std::uint8_t kind_ = 0;
  std::uint32_t inlineStart_ = 0;
  Bytes inlineBits_;
  std::vector<std::uint32_t> mapPages_;  // kind 1: page holding the bitmap of range i (0 = none)
  std::uint32_t bitsPerMapPage_ = 0;
  std::uint32_t loadedIndex_ = 0xffffffff;
  PagePtr loaded_;
};

}  // namespace qv::jet
