// Index maintenance (Jet4 and ACE): adding and removing entries in an index's B-tree.
//
// Pages (both kinds share one header; see docs/formats/jet-writing.md, "Index pages"):
//   0x00 u8 type (0x03 node, 0x04 leaf) | 0x01 u8 1 | 0x02 u16 free bytes | 0x04 u32 table
//   definition page | 0x08 u32 0 | 0x0c u32 previous page of the level | 0x10 u32 next page of the
//   level | 0x14 u32 tail child (nodes) | 0x18 u16 prefix length | 0x1a u8 (1 on nodes) |
//   0x1b bitmap of entry ends | 0x1e0 entries.
// A leaf entry is key | row pointer (3-byte page big-endian, row). A node entry is key | row
// pointer | child page (u32 big-endian) and repeats the greatest entry under that child; a node
// with two or more children lists every child but the last that way and names the last one in
// its tail field. Entries are ordered by key bytes (a key that is the start of another sorts
// first) and then by row pointer. Entries after the first leave out the prefix every key of the
// page shares; the prefix is used only when the entries would not fit without it.
// The root page never moves (the table definition names it): when it is full its entries move
// to two new pages and it becomes the node above them.
#pragma once

#include <cstddef>

#include "engine/core/bytes.h"
#include "engine/core/value.h"
#include "engine/jet/data_page.h"
#include "engine/jet/table_definition.h"
#include "engine/jet/write/file_writer.h"

namespace qv::jet {

// Adds the entry (key, row) to real index `realIndex` of the table whose definition starts at
// table.firstPage; descends from the root through node pages to the leaf, keeps entries sorted
// (key, then row pointer), splits full pages (new pages from writer.AllocatePage(), recorded in
// the index's usage map), keeps previous/next/tail links and parent entries right, and raises
// the count of distinct keys the table definition keeps per index when the key is new. Must run
// inside a WriteOperation. Throws kCorrupt on a damaged tree, 3251 when the entry cannot be
// placed (an inline usage map that cannot list a new page, a key too long for a page).
void InsertIndexEntry(FileWriter& writer, const TableDefinition& table, std::size_t realIndex,
                      const Bytes& key, RowPointer row);
// Removes the entry naming `row` (found by the row it names, so no key is needed) from real
// index `realIndex`; pages left empty are unlinked and freed, parent entries follow. Does nothing
// when no entry names the row. The distinct-key count is not lowered (Access never lowers it).
void RemoveIndexEntry(FileWriter& writer, const TableDefinition& table, std::size_t realIndex,
                      RowPointer row);
// Adds `row` stored at `where` to every real index of `table`; computes all keys first and
// throws (3251 for a key that cannot be made, 3022 for a duplicate in a unique index, 3058 for a
// NULL in a primary key or required index) before anything is written. Indexes that ignore
// NULLs get no entry for a row whose indexed columns are all NULL.
void AddRowToIndexes(FileWriter& writer, const TableDefinition& table, const qv::Row& row, RowPointer where);

// What AddRowToIndexes does in two steps: the entries to add (checked, nothing written) and
// writing them. A caller that must write the row in between uses these.
struct PendingIndexEntry {
  std::size_t realIndex = 0;
  Bytes key;
};
std::vector<PendingIndexEntry> PrepareIndexEntries(FileWriter& writer, const TableDefinition& table,
                                                   const qv::Row& row);
void WriteIndexEntries(FileWriter& writer, const TableDefinition& table,
                       const std::vector<PendingIndexEntry>& entries, RowPointer where);

// The root page of a new, empty index of the table whose definition is on `tdefPage`: a leaf
// without entries, links or prefix (what Access and Jackcess write for a new index).
Bytes NewIndexRootPage(std::uint32_t tdefPage, std::size_t pageSize);

// Every leaf entry of real index `realIndex` in order (key and row), read through the tree; for
// checks and tests. Throws kCorrupt on a damaged tree.
struct IndexEntryView {
  Bytes key;
  RowPointer row;
};
std::vector<IndexEntryView> ReadIndexEntries(PageStore& pages, const TableDefinition& table,
                                             std::size_t realIndex);

}  // namespace qv::jet
