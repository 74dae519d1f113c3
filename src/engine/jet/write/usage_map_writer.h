// Changing one bit of a usage map: marks a page as belonging to a table (or, in the global map of
// page 1, as free). Both map kinds of the reader (usage_map.h) are handled: an inline map changes
// its own row; a reference map changes the bitmap page of the page's range, and gets a new
// bitmap page (type 0x05) when the range has none yet. An inline map whose range does not reach
// the page is moved to a new start when every marked page and the new one fit the moved window;
// otherwise, when the writer can allocate pages, the row becomes a reference map in place (same
// length: (length - 1) / 4 bitmap page slots) listing the same pages. Only when neither works is
// the change refused (UsageMapWriter::Set returns false) and the caller decides. Format:
// docs/formats/jet-writing.md, "Usage maps".
#pragma once

#include <cstdint>
#include <functional>

#include "engine/jet/data_page.h"
#include "engine/jet/format.h"
#include "engine/jet/page_store.h"

namespace qv::jet {

class UsageMapWriter {
 public:
  // `allocate` gives a fresh page for a new bitmap page of a reference map.
  UsageMapWriter(PageStore& store, const Layout& layout, std::function<std::uint32_t()> allocate = {})
      : store_(store), layout_(layout), allocate_(std::move(allocate)) {}

  // Sets (`on`) or clears the bit of `page` in the map whose row is at `map`. Returns false when
  // an inline map cannot cover `page` (nothing changed then). Clearing a bit outside the map's
  // range succeeds without a change (the page was not marked).
  bool Set(RowPointer map, std::uint32_t page, bool on);
  // Whether `page` is marked.
  bool Test(RowPointer map, std::uint32_t page);

 private:
  PageStore& store_;
  const Layout& layout_;
  std::function<std::uint32_t()> allocate_;
};

// A copy of page `n` that the caller may change and then give back with PutPage.
Bytes CopyPage(PageStore& store, std::uint32_t n);
void PutPage(PageStore& store, std::uint32_t n, Bytes page);

}  // namespace qv::jet
