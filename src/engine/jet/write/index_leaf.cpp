#include "engine/jet/write/index_leaf.h"

#include <algorithm>

#include "engine/core/error.h"

namespace qv::jet {

RowPointer EntryRow(const Bytes& e) {
  std::size_t n = e.size();
  return {static_cast<std::uint32_t>((e[n - 4] << 16) | (e[n - 3] << 8) | e[n - 2]), e[n - 1]};
}

std::size_t IndexPrefixLength(const Layout& l, const Bytes& page) {
  return l.indexPrefixSize == 1 ? page[l.indexPrefixAt] : LoadU16(page.data() + l.indexPrefixAt);
}

void StoreIndexPrefixLength(const Layout& l, Bytes& page, std::size_t prefix) {
  if (l.indexPrefixSize == 1)
    page[l.indexPrefixAt] = static_cast<std::uint8_t>(prefix);
  else
    StoreU16(page.data() + l.indexPrefixAt, static_cast<std::uint16_t>(prefix));
}

IndexLeaf ReadIndexLeaf(const Bytes& page, const std::string& where) {
  const Layout& l = Layout::ForPageSize(page.size());
  const std::size_t entriesStart = l.indexEntriesStart, bitmapStart = l.indexBitmapStart;
  if (page.size() < entriesStart + 4 || page[0] != page_type::kIndexLeaf)
    ThrowCorrupt("not an index leaf page", where);
  IndexLeaf leaf;
  leaf.previous = LoadU32(page.data() + l.indexPreviousAt);
  leaf.next = LoadU32(page.data() + l.indexNextAt);
  leaf.prefixLength = IndexPrefixLength(l, page);
  const std::size_t used = page.size() - entriesStart - LoadU16(page.data() + 2);
  if (used > page.size() - entriesStart) ThrowCorrupt("index leaf free count too large", where);
  std::size_t start = 0;
  Bytes prefix;
  for (std::size_t bit = 1; bit <= used; ++bit) {
    std::size_t byte = bitmapStart + bit / 8;
    if (byte >= entriesStart) ThrowCorrupt("index leaf bitmap overruns the entries", where);
    if (!((page[byte] >> (bit % 8)) & 1)) continue;
    Bytes e;
    if (!leaf.entries.empty()) e = prefix;
    e.insert(e.end(), page.begin() + static_cast<std::ptrdiff_t>(entriesStart + start),
             page.begin() + static_cast<std::ptrdiff_t>(entriesStart + bit));
    if (e.size() < 5) ThrowCorrupt("index entry shorter than its row pointer", where);
    if (leaf.entries.empty()) {
      if (leaf.prefixLength > e.size()) ThrowCorrupt("index prefix longer than the first entry", where);
      prefix.assign(e.begin(), e.begin() + static_cast<std::ptrdiff_t>(leaf.prefixLength));
    }
    leaf.entries.push_back(std::move(e));
    start = bit;
  }
  if (start != used) ThrowCorrupt("index leaf entries do not end where the free count says", where);
  return leaf;
}

Bytes WriteIndexLeaf(const Bytes& page, const IndexLeaf& leaf, std::size_t pageSize) {
  const Layout& l = Layout::ForPageSize(pageSize);
  const std::size_t entriesStart = l.indexEntriesStart, bitmapStart = l.indexBitmapStart;
  std::size_t prefix =
      l.indexPrefixSize == 1 ? std::min<std::size_t>(leaf.prefixLength, 0xff) : leaf.prefixLength;
  for (std::size_t i = 1; i < leaf.entries.size(); ++i) {
    const Bytes& a = leaf.entries[0];
    const Bytes& b = leaf.entries[i];
    std::size_t common = 0;
    while (common < prefix && common < a.size() && common < b.size() && a[common] == b[common]) ++common;
    prefix = common;
  }
  if (leaf.entries.size() <= 1) prefix = std::min(prefix, leaf.entries.empty() ? 0 : leaf.entries[0].size());
  Bytes out(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(bitmapStart));
  out.resize(pageSize, 0);
  StoreIndexPrefixLength(l, out, prefix);
  std::size_t at = 0;
  for (std::size_t i = 0; i < leaf.entries.size(); ++i) {
    const Bytes& e = leaf.entries[i];
    std::size_t skip = i == 0 ? 0 : prefix;
    std::size_t len = e.size() - skip;
    if (entriesStart + at + len > pageSize)
      throw Error(errc::kGeneric, "index entries do not fit their leaf page");
    std::copy(e.begin() + static_cast<std::ptrdiff_t>(skip), e.end(),
              out.begin() + static_cast<std::ptrdiff_t>(entriesStart + at));
    at += len;
    out[bitmapStart + at / 8] = static_cast<std::uint8_t>(out[bitmapStart + at / 8] | (1u << (at % 8)));
  }
  StoreU16(out.data() + 2, static_cast<std::uint16_t>(pageSize - entriesStart - at));
  return out;
}

}  // namespace qv::jet
