// Rows as a data page stores them, the inverse of the reader's RowSplitter. Jet4 and ACE:
//   u16 column count | fixed columns at their offsets | variable columns in table order |
//   variable offsets (last column's end first, then backwards) | u16 variable count | null mask
// Jet3: u8 column count | fixed columns | variable columns | u8 offsets (low bytes, last column's
//   end first) | jump table (one byte per whole 256 bytes of the row, last first: the index of
//   the first offset at or past that boundary, 0xff when none is) | u8 variable count | null mask
// The column count is the highest column number + 1; the mask has one bit per column number
// (1 = value present; for Yes/No the value itself). Offsets count from the row's start.
// See docs/formats/jet-writing.md, "Rows".
#pragma once

#include <vector>

#include "engine/jet/table_definition.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

// `cells` has one entry per column of `table` (definition order); long values must already be
// their 12-byte (or inline) field.
Bytes BuildRow(const TableDefinition& table, const std::vector<EncodedValue>& cells, const Layout& layout);

// The largest row a data page takes (page minus its header and one slot).
std::size_t MaxRowSize(const Layout& layout);

}  // namespace qv::jet
