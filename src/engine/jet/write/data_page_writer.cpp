#include "engine/jet/write/data_page_writer.h"

#include <algorithm>
#include <vector>

#include "engine/jet/data_page.h"

namespace qv::jet {

namespace {
std::size_t LowestRowStart(const Layout& l, const Bytes& page, std::uint16_t rows) {
  std::size_t lowest = l.pageSize;
  for (std::uint16_t i = 0; i < rows; ++i) {
    std::size_t at = l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(i);
    std::size_t start = LoadU16(page.data() + at) & 0x1fff;
    // Deleted slots keep their offset; they still bound the rows above them.
    if (start > 0) lowest = std::min(lowest, start);
  }
  return lowest;
}
}  // namespace

Bytes NewDataPage(const Layout& l, std::uint32_t owner) {
  Bytes p(std::max<std::size_t>(l.pageSize, 2048), 0);
  p[0] = page_type::kData;
  p[1] = 0x01;
  StoreU32(p.data() + 4, owner);
  StoreU16(p.data() + 2, static_cast<std::uint16_t>(l.pageSize - l.dataRowCountOffset - 2));
  return p;
}

std::size_t RoomForRow(const Layout& l, const Bytes& page) {
  std::uint16_t rows = LoadU16(page.data() + l.dataRowCountOffset);
  if (rows >= kMaxRowsPerPage) return 0;
  std::size_t tableEnd = l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rows) + 2;
  std::size_t lowest = LowestRowStart(l, page, rows);
  return lowest > tableEnd ? lowest - tableEnd : 0;
}

std::optional<std::uint8_t> AddRow(const Layout& l, Bytes& page, std::span<const std::uint8_t> row) {
  if (row.empty() || RoomForRow(l, page) < row.size()) return std::nullopt;
  std::uint16_t rows = LoadU16(page.data() + l.dataRowCountOffset);
  std::size_t start = LowestRowStart(l, page, rows) - row.size();
  std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
  StoreU16(page.data() + l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rows),
           static_cast<std::uint16_t>(start));
  ++rows;
  StoreU16(page.data() + l.dataRowCountOffset, rows);
  std::size_t tableEnd = l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rows);
  StoreU16(page.data() + 2, static_cast<std::uint16_t>(start - tableEnd));
  return static_cast<std::uint8_t>(rows - 1);
}

std::optional<std::uint8_t> AddRowReusingDeleted(const Layout& l, Bytes& page,
                                                 std::span<const std::uint8_t> row,
                                                 std::span<const std::uint8_t> reusable) {
  if (row.empty()) return std::nullopt;
  const std::uint16_t rows = LoadU16(page.data() + l.dataRowCountOffset);
  auto slotAt = [&](std::size_t i) { return l.dataRowCountOffset + 2 + 2 * i; };
  // the bytes of every slot as it is now (the same bounds DataPageReader takes)
  struct Old {
    std::uint16_t flags;
    std::size_t start, end;
  };
  std::vector<Old> old;
  std::size_t previousStart = l.pageSize;
  for (std::size_t i = 0; i < rows; ++i) {
    const std::uint16_t raw = LoadU16(page.data() + slotAt(i));
    const std::size_t start = raw & kRowOffsetMask;
    const std::size_t end = previousStart;
    if (start > end || start < slotAt(rows)) return std::nullopt;  // not a page to lay out again
    old.push_back({static_cast<std::uint16_t>(raw & ~kRowOffsetMask), start, end});
    previousStart = start;
  }
  // the rows that give up their bytes: deleted ones the caller names as free
  std::vector<bool> freed(rows, false);
  std::size_t target = rows;
  for (std::uint8_t r : reusable)
    if (r < rows && (old[r].flags & kRowDeleted)) {
      freed[r] = true;
      target = std::min<std::size_t>(target, r);
    }
  if (target == rows && rows >= kMaxRowsPerPage) return std::nullopt;
  const std::size_t count = std::max<std::size_t>(rows, target + 1);
  std::size_t bytes = row.size();
  for (std::size_t i = 0; i < rows; ++i)
    if (!freed[i]) bytes += old[i].end - old[i].start;
  if (slotAt(count) + bytes > l.pageSize) return std::nullopt;
  Bytes next(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(l.dataRowCountOffset));
  next.resize(page.size(), 0);
  std::size_t pos = l.pageSize;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint16_t flags = 0;
    if (i == target) {
      pos -= row.size();
      std::copy(row.begin(), row.end(), next.begin() + static_cast<std::ptrdiff_t>(pos));
    } else {
      flags = old[i].flags;
      if (!freed[i]) {
        pos -= old[i].end - old[i].start;
        std::copy(page.begin() + static_cast<std::ptrdiff_t>(old[i].start),
                  page.begin() + static_cast<std::ptrdiff_t>(old[i].end),
                  next.begin() + static_cast<std::ptrdiff_t>(pos));
      }
    }
    StoreU16(next.data() + slotAt(i), static_cast<std::uint16_t>(pos | flags));
  }
  StoreU16(next.data() + l.dataRowCountOffset, static_cast<std::uint16_t>(count));
  StoreU16(next.data() + 2, static_cast<std::uint16_t>(pos - slotAt(count)));
  page = std::move(next);
  return static_cast<std::uint8_t>(target);
}

}  // namespace qv::jet
