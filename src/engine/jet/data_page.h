// Data pages and row pointers. A data page (type 0x01) holds rows stored from the end of the page
// towards its header; the row offset table after the header gives each row's start, flagged
// 0x8000 when the row was deleted and 0x4000 when the slot only holds a 4-byte pointer to the
// row's real place on another page (an "overflow" row). A row ends where the previous row starts
// (row 0 at the end of the page). The row an overflow slot points to is itself flagged deleted,
// so a scan in slot order meets each row once, at its overflow slot. Long-value (LVAL) pages use the same
// layout with "LVAL" where a data page names its table. See docs/formats/jet.md, "Data pages".
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/core/bytes.h"
#include "engine/jet/format.h"
#include "engine/jet/page_store.h"

namespace qv::jet {

// A row's address: page number in the upper three bytes, row number in the low byte.
struct RowPointer {
  std::uint32_t page = 0;
  std::uint8_t row = 0;
  static RowPointer Decode(std::uint32_t v) { return {v >> 8, static_cast<std::uint8_t>(v & 0xff)}; }
  std::uint32_t Encode() const { return (page << 8) | row; }
  bool null() const { return page == 0 && row == 0; }
  friend bool operator==(const RowPointer&, const RowPointer&) = default;
  friend auto operator<=>(const RowPointer&, const RowPointer&) = default;
};

inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowOverflow = 0x4000;
inline constexpr std::uint16_t kRowOffsetMask = 0x1fff;

struct RowSlot {
  std::uint16_t start = 0;  // offset in the page
  std::uint16_t end = 0;    // one past the last byte
  bool deleted = false;
  bool overflow = false;
};

// Reader of one data or LVAL page; the page buffer must outlive it.
class DataPageReader {
 public:
  DataPageReader(const PageStore& store, const Layout& layout, std::uint32_t pageNo, const Bytes& page);
  std::uint32_t pageNo() const { return pageNo_; }
  std::uint8_t type() const { return page_[0]; }
  std::uint32_t owner() const { return LoadU32(page_.data() + 4); }  // TDEF page (or "LVAL")
  std::uint16_t rowCount() const { return rowCount_; }
  // Slot `i` (< rowCount), bounds-checked: throws kCorrupt naming the page and offset.
  RowSlot Slot(std::uint16_t i) const;
  std::span<const std::uint8_t> Bytes(const RowSlot& s) const {
    return {page_.data() + s.start, page_.data() + s.end};
  }
  std::string Where(std::size_t offset) const { return store_.Where(pageNo_, offset); }

 private:
  [[noreturn, gnu::cold, gnu::noinline]] void BadSlot(std::uint16_t i, std::size_t at) const;
  const PageStore& store_;
  const Layout& layout_;
  std::uint32_t pageNo_;
  const qv::Bytes& page_;
  std::uint16_t rowCount_;
};

// The page that holds `ptr` and the span of that row. The pointer must name a live row on a data
// or LVAL page; anything else is reported as damage. The row an overflow slot points to carries
// the deleted flag (so that a scan does not meet it twice): `overflowTarget` accepts that.
struct RowRef {
  PagePtr page;
  std::span<const std::uint8_t> bytes;
  RowSlot slot;
};
RowRef ReadRowAt(PageStore& store, const Layout& layout, RowPointer ptr, bool overflowTarget = false);

}  // namespace qv::jet
