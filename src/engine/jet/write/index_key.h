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
// Access 97 (Jet3) files key every type but text the same way. Their text is in the "General"
// order of Jet3 ("General 97"), which a SortOrder names with id 0x0409, version kSortVersionJet3
// (Jet3 column descriptors have no version byte) and the code page of the database's text:
//   the start byte, one or two codes per character (case not coded; an accented letter gives its
//   base letter's code), then either 0x00 or, when the text has accented letters, their accent
//   codes as nibbles between two 0 nibbles (high nibble first, padded with a 0 nibble); a
//   descending column has all of these bytes inverted. Keys are known for the characters of code
//   page 1252 when the database's code page is 1252, and for ASCII characters in any other.
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
// docs/formats/jet-writing.md, "Characters beyond U+00FF"), a weightless character, one past
// U+FFFF, or in Jet3 one outside the characters named above; Decimal and long binary columns; a
// sort order other than General), 3464 for a value the column cannot hold.
Bytes IndexKey(const TableDefinition& table, std::size_t realIndex, const qv::Row& row,
               const SortOrder& sort);

// The key of one text value alone in the sort order: the 0x7F start byte, the character codes,
// then the end marks (what IndexKey writes for an ascending text column holding `utf8`). Only the
// first 255 characters count, as in Access, and spaces at the end of those do not. Throws 3251
// naming the character it cannot code.
Bytes TextIndexKey(std::string_view utf8, const SortOrder& sort);

}  // namespace qv::jet
