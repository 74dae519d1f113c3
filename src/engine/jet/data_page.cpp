#include "engine/jet/data_page.h"

#include "engine/core/error.h"

namespace qv::jet {

DataPageReader::DataPageReader(const PageStore& store, const Layout& layout, std::uint32_t pageNo,
                               const qv::Bytes& page)
    : store_(store), layout_(layout), pageNo_(pageNo), page_(page) {
  if (page_.size() != layout_.pageSize) ThrowCorrupt("page has the wrong size", Where(0));
  if (page_[0] != page_type::kData)
    ThrowCorrupt("expected a data page (type 0x01), found type " + std::to_string(page_[0]), Where(0));
  rowCount_ = LoadU16(page_.data() + layout_.dataRowCountOffset);
  std::size_t tableEnd = layout_.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rowCount_);
  if (tableEnd > page_.size())
    ThrowCorrupt("row count " + std::to_string(rowCount_) + " does not fit the page",
                 Where(layout_.dataRowCountOffset));
}

RowSlot DataPageReader::Slot(std::uint16_t i) const {
  std::size_t at = layout_.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(i);
  std::uint16_t raw = LoadU16(page_.data() + at);
  RowSlot s;
  s.deleted = (raw & kRowDeleted) != 0;
  s.overflow = (raw & kRowOverflow) != 0;
  s.start = raw & kRowOffsetMask;
  // The row ends where the previous one starts; deleted neighbours still mark the boundary.
  std::uint32_t end = layout_.pageSize;
  if (i > 0) end = LoadU16(page_.data() + at - 2) & kRowOffsetMask;
  std::size_t headerEnd = layout_.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rowCount_);
  if (s.start < headerEnd || end > layout_.pageSize || s.start > end) [[unlikely]]
    BadSlot(i, at);
  s.end = static_cast<std::uint16_t>(end);
  return s;
}

void DataPageReader::BadSlot(std::uint16_t i, std::size_t at) const {
  ThrowCorrupt("row " + std::to_string(i) + " has a bad offset 0x" +
                   ToHex(std::span<const std::uint8_t>(page_.data() + at, 2)),
               Where(at));
}

RowRef ReadRowAt(PageStore& store, const Layout& layout, RowPointer ptr, bool overflowTarget) {
  RowRef ref;
  ref.page = store.ReadPage(ptr.page);
  DataPageReader reader(store, layout, ptr.page, *ref.page);
  if (ptr.row >= reader.rowCount())
    ThrowCorrupt("row pointer names row " + std::to_string(ptr.row) + " but the page holds " +
                     std::to_string(reader.rowCount()),
                 reader.Where(layout.dataRowCountOffset));
  ref.slot = reader.Slot(ptr.row);
  if (ref.slot.deleted && !overflowTarget)
    ThrowCorrupt("row pointer names a deleted row " + std::to_string(ptr.row), reader.Where(0));
  ref.bytes = reader.Bytes(ref.slot);
  return ref;
}

}  // namespace qv::jet
