// Test helpers: walking an index tree page by page (node pages type 0x03, leaves 0x04) the way
// the format lays it out, independent of the writer's own code, and corpus file lists.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../jet_write/test_files.h"
#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/value.h"
#include "engine/jet/data_page.h"
#include "engine/jet/format.h"
#include "engine/jet/page_store.h"
#include "engine/jet/table_definition.h"

namespace qv::jet::testing {

// The row an index entry names among `rows` (a table's rows by the slot each lives in): the slot's
// own row, or the row its overflow slot points to; nullptr when neither is there.
inline const Row* EntryRow(PageStore& ps, const Layout& layout, const std::map<RowPointer, Row>& rows,
                           RowPointer p) {
  if (auto it = rows.find(p); it != rows.end()) return &it->second;
  if (p.page >= ps.pageCount()) return nullptr;
  PagePtr page = ps.ReadPage(p.page);
  if ((*page)[0] != page_type::kData) return nullptr;
  DataPageReader reader(ps, layout, p.page, *page);
  if (p.row >= reader.rowCount()) return nullptr;
  RowSlot slot = reader.Slot(p.row);
  if (!slot.overflow || slot.deleted || slot.end - slot.start < 4) return nullptr;
  auto it = rows.find(RowPointer::Decode(LoadU32(page->data() + slot.start)));
  return it == rows.end() ? nullptr : &it->second;
}

inline std::vector<std::string> CorpusDatabases() {
  std::vector<std::string> out;
  for (const auto& item : std::filesystem::recursive_directory_iterator(CorpusPath(""))) {
    auto ext = item.path().extension();
    if (item.is_regular_file() && (ext == ".mdb" || ext == ".accdb")) out.push_back(item.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

struct TreePage {
  std::uint32_t number = 0;
  std::uint8_t type = 0;
  std::uint32_t owner = 0, previous = 0, next = 0, tail = 0;
  std::vector<Bytes> entries;  // whole entries, prefix put back
};

// Decodes one index page (either kind) without the writer's code. Jet4 and ACE pages: links at
// 0x0c/0x10/0x14, u16 prefix length at 0x18, bitmap from 0x1b, entries from 0x1e0; Access 97
// pages (2 KB): links at 0x08/0x0c/0x10, u8 prefix length at 0x14, bitmap from 0x16, entries from
// 0xf8.
inline TreePage DecodeTreePage(const Bytes& page, std::uint32_t number) {
  const bool jet3 = page.size() == 2048;
  const std::size_t links = jet3 ? 0x08 : 0x0c, bitmap = jet3 ? 0x16 : 0x1b, entries = jet3 ? 0xf8 : 0x1e0;
  TreePage t;
  t.number = number;
  t.type = page[0];
  t.owner = LoadU32(page.data() + 4);
  t.previous = LoadU32(page.data() + links);
  t.next = LoadU32(page.data() + links + 4);
  t.tail = LoadU32(page.data() + links + 8);
  const std::size_t prefixLength = jet3 ? page[0x14] : LoadU16(page.data() + 0x18);
  const std::size_t used = page.size() - entries - LoadU16(page.data() + 2);
  std::size_t start = 0;
  Bytes prefix;
  for (std::size_t bit = 1; bit <= used; ++bit) {
    if (!((page[bitmap + bit / 8] >> (bit % 8)) & 1)) continue;
    Bytes e = t.entries.empty() ? Bytes{} : prefix;
    e.insert(e.end(), page.begin() + static_cast<std::ptrdiff_t>(entries + start),
             page.begin() + static_cast<std::ptrdiff_t>(entries + bit));
    if (t.entries.empty()) prefix.assign(e.begin(), e.begin() + static_cast<std::ptrdiff_t>(prefixLength));
    t.entries.push_back(std::move(e));
    start = bit;
  }
  return t;
}

struct LeafEntry {
  Bytes key;
  RowPointer row;
  std::uint32_t leaf = 0;
};

inline RowPointer PointerAt(const Bytes& e, std::size_t at) {
  return {static_cast<std::uint32_t>((e[at] << 16) | (e[at + 1] << 8) | e[at + 2]), e[at + 3]};
}

// Every leaf entry under `root` in tree order (node entries' children, then the tail child).
inline void CollectLeafEntries(PageStore& ps, std::uint32_t root, std::vector<LeafEntry>& out,
                               std::set<std::uint32_t>& seen, int depth = 0) {
  if (depth > 16 || !seen.insert(root).second)
    throw Error(errc::kCorrupt, "index tree loops", std::to_string(root));
  PagePtr page = ps.ReadPage(root);
  TreePage t = DecodeTreePage(*page, root);
  if (t.type == page_type::kIndexLeaf) {
    for (const Bytes& e : t.entries)
      out.push_back({Bytes(e.begin(), e.end() - 4), PointerAt(e, e.size() - 4), root});
    return;
  }
  if (t.type != page_type::kIndexNode) throw Error(errc::kCorrupt, "not an index page", std::to_string(root));
  for (const Bytes& e : t.entries)
    CollectLeafEntries(ps, LoadU32BE(e.data() + e.size() - 4), out, seen, depth + 1);
  if (t.tail != 0) CollectLeafEntries(ps, t.tail, out, seen, depth + 1);
}

// The sort version byte (descriptor byte 14) of column `number` of the definition, read from the
// raw pages (the reader keeps only the sort order).
inline int SortVersionOf(PageStore& ps, const TableDefinition& t, std::uint16_t number) {
  Bytes joined;
  for (std::size_t i = 0; i < t.pages.size(); ++i) {
    PagePtr p = ps.ReadPage(t.pages[i]);
    joined.insert(joined.end(), p->begin() + (i == 0 ? 0 : 8), p->end());
  }
  std::size_t at = 63 + 12 * t.realIndexes.size();
  for (std::size_t c = 0; c < t.columns.size(); ++c, at += 25) {
    if (at + 25 > joined.size()) return -1;
    if (LoadU16(joined.data() + at + 5) == number) return joined[at + 14];
  }
  return -1;
}

}  // namespace qv::jet::testing
