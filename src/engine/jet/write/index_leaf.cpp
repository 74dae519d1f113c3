#include "engine/jet/write/index_leaf.h"

#include <algorithm>

#include "engine/core/error.h"

namespace qv::jet {

RowPointer EntryRow(const Bytes& e) {
  std::size_t n = e.size();
  return {static_cast<std::uint32_t>((e[n - 4] << 16) | (e[n - 3] << 8) | e[n - 2]), e[n - 1]};
}

IndexLeaf ReadIndexLeaf(const Bytes& page, const std::string& where) {
  if (page.size() < kIndexEntriesStart + 4 || page[0] != page_type::kIndexLeaf)
    ThrowCorrupt("not an index leaf page", where);
  IndexLeaf leaf;
  leaf.previous = LoadU32(page.data() + kIndexPreviousAt);
  leaf.next = LoadU32(page.data() + kIndexNextAt);
  leaf.prefixLength = LoadU16(page.data() + kIndexPrefixAt);
  const std::size_t used = page.size() - kIndexEntriesStart - LoadU16(page.data() + 2);
  if (used > page.size() - kIndexEntriesStart) ThrowCorrupt("index leaf free count too large", where);
  std::size_t start = 0;
  Bytes prefix;
  for (std::size_t bit = 1; bit <= used; ++bit) {
    std::size_t byte = kIndexBitmapStart + bit / 8;
    if (byte >= kIndexEntriesStart) ThrowCorrupt("index leaf bitmap overruns the entries", where);
    if (!((page[byte] >> (bit % 8)) & 1)) continue;
    Bytes e;
    if (!leaf.entries.empty()) e = prefix;
    e.insert(e.end(), page.begin() + static_cast<std::ptrdiff_t>(kIndexEntriesStart + start),
             page.begin() + static_cast<std::ptrdiff_t>(kIndexEntriesStart + bit));
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
  std::size_t prefix = leaf.prefixLength;
  for (std::size_t i = 1; i < leaf.entries.size(); ++i) {
    const Bytes& a = leaf.entries[0];
    const Bytes& b = leaf.entries[i];
    std::size_t common = 0;
    while (common < prefix && common < a.size() && common < b.size() && a[common] == b[common]) ++common;
    prefix = common;
  }
  if (leaf.entries.size() <= 1) prefix = std::min(prefix, leaf.entries.empty() ? 0 : leaf.entries[0].size());
  Bytes out(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(kIndexBitmapStart));
  out.resize(pageSize, 0);
  StoreU16(out.data() + kIndexPrefixAt, static_cast<std::uint16_t>(prefix));
  std::size_t at = 0;
  for (std::size_t i = 0; i < leaf.entries.size(); ++i) {
    const Bytes& e = leaf.entries[i];
    std::size_t skip = i == 0 ? 0 : prefix;
    std::size_t len = e.size() - skip;
    if (kIndexEntriesStart + at + len > pageSize) throw Error(errc::kGeneric, "index entries do not fit their leaf page");
    std::copy(e.begin() + static_cast<std::ptrdiff_t>(skip), e.end(),
              out.begin() + static_cast<std::ptrdiff_t>(kIndexEntriesStart + at));
    at += len;
    out[kIndexBitmapStart + at / 8] = static_cast<std::uint8_t>(out[kIndexBitmapStart + at / 8] | (1u << (at % 8)));
  }
  StoreU16(out.data() + 2, static_cast<std::uint16_t>(pageSize - kIndexEntriesStart - at));
  return out;
}

}  // namespace qv::jet
