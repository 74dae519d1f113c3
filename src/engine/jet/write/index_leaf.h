// Leaf pages of indexes (type 0x04). Jet4 and ACE:
//   0x00 0x04 0x01 | 0x02 u16 free bytes | 0x04 u32 table definition page | 0x08 u32 0 |
//   0x0c u32 previous leaf | 0x10 u32 next leaf | 0x14 u32 tail (node pages) | 0x18 u16 prefix
//   length | 0x1a u8 (1 on node pages) | 0x1b bitmap: bit n set when an entry ends n bytes after
//   0x1e0 | 0x1e0 entries
// Jet3 (2 KB pages) has no zero field at 0x08 and a one-byte prefix length:
//   0x08 previous | 0x0c next | 0x10 tail | 0x14 u8 prefix length | 0x15 u8 (1 on node pages) |
//   0x16 bitmap | 0xf8 entries
// (Layout::indexPreviousAt and the fields after it; the functions below take the layout from
// the page size.)
// (The links and the prefix length were checked on the multi-page indexes of the corpus, where
// they are not zero.)
// Each entry is the key followed by the row it indexes (3-byte page, big-endian, and the row
// number). Entries after the first leave out the first "prefix length" bytes, which every entry
// of the page shares. Free bytes = page size - 0x1e0 - entry bytes. Verified against every
// MSysObjects index leaf of the corpus (the tests check each entry names a live catalog row).
// See docs/formats/jet-writing.md, "Index leaves".
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/jet/data_page.h"
#include "engine/jet/format.h"

namespace qv::jet {

struct IndexLeaf {
  std::uint32_t previous = 0, next = 0;
  std::size_t prefixLength = 0;
  std::vector<Bytes> entries;  // whole entries (prefix put back), key then 4 pointer bytes
};

// Jet4 and ACE offsets (Layout::indexEntriesStart ... give each format's).
inline constexpr std::size_t kIndexEntriesStart = 0x1e0;
inline constexpr std::size_t kIndexBitmapStart = 0x1b;
inline constexpr std::size_t kIndexPreviousAt = 0x0c;
inline constexpr std::size_t kIndexNextAt = 0x10;
inline constexpr std::size_t kIndexTailAt = 0x14;
inline constexpr std::size_t kIndexPrefixAt = 0x18;

// The prefix length field of an index page of layout `l`.
std::size_t IndexPrefixLength(const Layout& l, const Bytes& page);
void StoreIndexPrefixLength(const Layout& l, Bytes& page, std::size_t prefix);

// Throws kCorrupt naming `where` on a page that is not a consistent leaf.
IndexLeaf ReadIndexLeaf(const Bytes& page, const std::string& where);
RowPointer EntryRow(const Bytes& entry);
// The page with `leaf`'s entries (keeping the page's header fields). The prefix length stays the
// page's when every entry still shares it. Throws kGeneric when the entries do not fit.
Bytes WriteIndexLeaf(const Bytes& page, const IndexLeaf& leaf, std::size_t pageSize);

}  // namespace qv::jet
