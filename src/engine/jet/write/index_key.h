// Index keys (Jet4 and ACE): the bytes an index entry holds before the row pointer, computed from
// a row's values. Each index column contributes, in the index's column order:
//   NULL: 0x00 (ascending) or 0xFF (descending); Yes/No columns are never NULL (NULL is No);
//   otherwise a start byte 0x7F (ascending) or 0x80 (descending) and then the value's code:
//   - Byte: the byte; Integer, Long, Large Number, Currency: the value big-endian with the sign
//     bit flipped;
//   - Single, Double, Date/Time: the IEEE value big-endian; the sign bit flipped when it is
//     positive, every bit flipped when it is negative;
//   - Yes/No: 0x00 for Yes, 0xFF for No;
//   - Replication ID (big-endian, as the GUID is written in text) and Binary: groups of 8 bytes
//     each followed by 0x09 while more follow; the last group is padded with zeros and followed
//     by the count of its real bytes;
//   - Text and Memo: the collation codes of the characters (see TextIndexKey);
//   descending columns have every byte of the code inverted (binary keeps the 0x09 marks).
// Layout facts and their checks: docs/formats/jet-writing.md, "Index keys".
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/core/bytes.h"
#include "engine/core/value.h"
#include "engine/jet/table_definition.h"
#include "engine/jet/write/table_definition_writer.h"

namespace qv::jet {

// The key bytes of `row` (one qv::Value per column of `table`, in column-number order as
// TableDefinition::columns lists them) for real index `realIndex` of `table`, in the file's sort
// order `sort`. Values may come typed or as literal text, as EncodeValue takes them. Throws
// qv::Error 3251 naming the column and the character or type when a key cannot be produced (a
// character whose place in the order is not known: one the code tables do not cover (see
// docs/formats/jet-writing.md, "Characters beyond U+00FF"), a weightless character, or one past
// U+FFFF; Decimal and long binary columns; a sort order other than General), 3464 for a value
// the column cannot hold.
Bytes IndexKey(const TableDefinition& table, std::size_t realIndex, const qv::Row& row, const SortOrder& sort);

// The key of one text value alone in the sort order: the 0x7F start byte, the character codes,
// then the end marks (what IndexKey writes for an ascending text column holding `utf8`). Only the
// first 255 characters count, as in Access, and spaces at the end of those do not. Throws 3251
// naming the character it cannot code.
Bytes TextIndexKey(std::string_view utf8, const SortOrder& sort);

}  // namespace qv::jet
