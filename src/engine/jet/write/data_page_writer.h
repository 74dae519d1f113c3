// Adding rows to data pages (type 0x01), and making new ones. Page header (Jet4/ACE):
//   0: 0x01 | 1: 0x01 | 2: u16 free bytes | 4: u32 owner (TDEF page, or "LVAL" for long values) |
//   8: u32 0 | 12: u16 row count | 14: u16 row offsets...
// Rows are stored from the end of the page downwards; free bytes = start of the lowest row minus
// the end of the offset table. At most 255 rows per page (a row pointer keeps the row in a byte).
// See docs/formats/jet-writing.md, "Data pages".
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "engine/core/bytes.h"
#include "engine/jet/format.h"

namespace qv::jet {

inline constexpr std::uint32_t kLvalOwner = 0x4c41564c;  // "LVAL" read as a little-endian u32
inline constexpr std::uint16_t kMaxRowsPerPage = 255;

Bytes NewDataPage(const Layout& layout, std::uint32_t owner);
// Free bytes for one more row (its slot counted), 0 when the page is full.
std::size_t RoomForRow(const Layout& layout, const Bytes& page);
// Adds `row` and returns its row number, or nullopt when it does not fit.
std::optional<std::uint8_t> AddRow(const Layout& layout, Bytes& page, std::span<const std::uint8_t> row);

// Adds `row` in the room of the deleted rows `reusable` names (rows nothing names any more: no
// index entry, no overflow slot; a row flagged deleted may still be the live target of an
// overflow slot): the page is laid out again with every other row keeping its number, flags and
// bytes (packed from the end of the page in row order), those rows taking no bytes (their slot
// keeps its flags and points where the row before ends), and `row` taking the first of their
// numbers (or a new number when there is none and the page has fewer than 255). Returns the row
// number, or nullopt (page unchanged) when the row does not fit even so.
std::optional<std::uint8_t> AddRowReusingDeleted(const Layout& layout, Bytes& page,
                                                 std::span<const std::uint8_t> row,
                                                 std::span<const std::uint8_t> reusable);

}  // namespace qv::jet
