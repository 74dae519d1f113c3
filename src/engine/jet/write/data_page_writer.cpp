#include "engine/jet/write/data_page_writer.h"

#include <algorithm>

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
  StoreU16(page.data() + l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rows), static_cast<std::uint16_t>(start));
  ++rows;
  StoreU16(page.data() + l.dataRowCountOffset, rows);
  std::size_t tableEnd = l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rows);
  StoreU16(page.data() + 2, static_cast<std::uint16_t>(start - tableEnd));
  return static_cast<std::uint8_t>(rows - 1);
}

}  // namespace qv::jet
