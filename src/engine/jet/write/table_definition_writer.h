// Table definitions (TDEF pages) written from columns and indexes: the first piece of CREATE
// TABLE and of new databases, and the inverse of the reader's ReadTableDefinition. Layout
// (Jet4/ACE, every offset checked byte for byte against Access-made definitions in the corpus by
// the tests):
//   0x00 0x02 0x01 | 0x02 u16 free bytes (page - 8 - definition length) | 0x04 u32 next page |
//   0x08 u32 definition length | 0x0c u32 1625 | 0x10 u32 rows | 0x14 u32 last autonumber |
//   0x18 u32 1 (autonumber step) | 0x1c 12 bytes (0 from us) | 0x28 u8 table type 0x4e |
//   0x29 u16 max columns | 0x2b u16 variable columns | 0x2d u16 columns | 0x2f u32 indexes |
//   0x33 u32 real indexes | 0x37 u32 used-pages map | 0x3b u32 free-space map |
//   per real index: u32 0, u32 entries, u32 0 |
//   columns, 25 bytes each: u8 type | u32 1625 | u16 number | u16 variable index | u16 number |
//     u16 sort order (text and others), u8 precision, u8 scale (Decimal) or u32 complex id
//     (complex columns) | u8 0 | u8 sort version |
//     u8 flags | u8 extra flags | u32 0 | u16 fixed offset | u16 length |
//   names: u16 byte length, UTF-16LE | physical index blocks (52 bytes) | logical index entries
//   (28 bytes) | index names | (ACE, and some Jet4 system tables) per long-value column: u16
//   number, u32 owned-pages map, u32 free-space map | u16 0xffff
// A block longer than a page continues on further TDEF pages: definition_pages.h.
// See docs/formats/jet-writing.md, "Table definitions".
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "engine/core/value.h"
#include "engine/jet/header.h"
#include "engine/jet/table_definition.h"

namespace qv::jet {

// The database's text collation as column descriptors carry it (bytes 11..14).
struct SortOrder {
  std::uint16_t id = 0x0409;   // General
  std::uint8_t version = 0;    // 1 for the Access 2010 "General" order; kSortVersionJet3 in Jet3
  std::uint16_t codePage = 0;  // Jet3 only: the code page its text is stored in
};

// The version value that marks the sort order of an Access 97 (Jet3) file: Jet3 keeps no version
// byte, and its "General" order (1033) keys text differently from every later version
// (index_key.h).
inline constexpr std::uint8_t kSortVersionJet3 = 0xff;

// Columns of a new table from engine-neutral columns: types, lengths, flags, numbers, variable
// indexes and fixed offsets as Access lays them out (fixed columns in order from offset 0,
// variable ones numbered in order). Throws 3251 for a type this version cannot create (and for
// Decimal and Large Number in Access 97 files, which have neither) and 3001 for a bad size.
std::vector<ColumnDef> LayoutColumns(const std::vector<qv::Column>& columns, const Layout& layout);

// The definition block of `t`, its indexes included. `longValueMaps` gives, for ACE files, the
// owned-pages and free-space map pointers of each long-value column by column number. The result
// is the block as the reader joins a chain (the first page whole, then the bytes of each
// continuation page after its 8-byte header), padded to the capacity of the chain it needs: one
// page (pageSize bytes) for most tables; SplitDefinition (definition_pages.h) cuts it into pages.
Bytes EncodeTableDefinition(
    const TableDefinition& t, const SortOrder& sort,
    const std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>>& longValueMaps,
    const Layout& layout);

// The page maps of one long-value column, as listed after the names (and index names).
struct LongValueMaps {
  std::uint16_t column = 0;
  std::uint32_t ownedPages = 0;  // row pointer of the map of its LVAL pages
  std::uint32_t freePages = 0;   // row pointer of the map of those with room
};
// The same with the long-value maps in the order given (Access lists them in the order of the
// column descriptors, not by number).
Bytes EncodeTableDefinitionInOrder(const TableDefinition& t, const SortOrder& sort,
                                   const std::vector<LongValueMaps>& longValueMaps, const Layout& layout);

}  // namespace qv::jet
