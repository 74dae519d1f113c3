#include "engine/jet/table_cursor.h"

#include "engine/core/error.h"

namespace qv::jet {

TableCursor::TableCursor(std::shared_ptr<SharedFile> file, TableDefinition table)
    : file_(std::move(file)),
      table_(std::move(table)),
      map_(UsageMap::Read(*file_->pages, file_->header.layout, RowPointer::Decode(table_.usedPagesPointer))),
      splitter_(table_, file_->header.layout),
      decoder_(*file_->pages, file_->header) {}

std::string TableCursor::Where() const {
  std::size_t off = 0;
  if (overflowPage_) off = overflowStart_;
  return file_->pages->Where(position_.page, off) + ", row " + std::to_string(position_.row) + " of table '" +
         table_.name + "'";
}

bool TableCursor::LoadNextPage() {
  const Layout& l = file_->header.layout;
  std::uint32_t p = 0;
  while (!done_) {
    if (!map_.NextFrom(nextFrom_, p)) {
      done_ = true;
      break;
    }
    nextFrom_ = p + 1;
    if (p == 0xffffffffu) done_ = true;
    page_ = file_->pages->ReadPage(p);
    // The map also keeps pages that were freed: only data pages of this table hold its rows.
    if ((*page_)[0] != page_type::kData || LoadU32(page_->data() + 4) != table_.firstPage) continue;
    reader_ = std::make_unique<DataPageReader>(*file_->pages, l, p, *page_);
    slot_ = 0;
    return true;
  }
  reader_.reset();
  page_.reset();
  return false;
}

bool TableCursor::NextRow(std::vector<Cell>& cells) {
  const Layout& l = file_->header.layout;
  for (;;) {
    if (!reader_ || slot_ >= reader_->rowCount()) {
      if (!LoadNextPage()) return false;
      continue;
    }
    std::uint16_t i = slot_++;
    RowSlot s = reader_->Slot(i);
    if (s.deleted) continue;
    position_ = {reader_->pageNo(), static_cast<std::uint8_t>(i)};
    overflowPage_.reset();
    std::span<const std::uint8_t> bytes = reader_->Bytes(s);
    // An overflow slot holds only the pointer to the row's real place (which may move again).
    int hops = 0;
    while (s.overflow) {
      if (bytes.size() < 4) ThrowCorrupt("overflow row shorter than its pointer", Where());
      if (++hops > 8) ThrowCorrupt("overflow rows point on too often (a loop?)", Where());
      RowPointer target = RowPointer::Decode(LoadU32(bytes.data()));
      RowRef r = ReadRowAt(*file_->pages, l, target, true);
      overflowPage_ = r.page;
      overflowStart_ = r.slot.start;
      position_ = target;
      s = r.slot;
      bytes = r.bytes;
    }
    splitter_.Split(bytes, place(), cells);
    return true;
  }
}

TableRowReader::TableRowReader(std::unique_ptr<TableCursor> cursor, const ReadOptions& options)
    : cursor_(std::move(cursor)) {
  const auto& def = cursor_->definition();
  bool jet3 = cursor_->pages().pageSize() == 2048;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& c = def.columns[i];
    if (!c.readable()) {
      if (options.skipUnreadableColumns) {
        skipped_.push_back(&c);
        continue;
      }
      throw Error(
          errc::kNotSupported,
          "Column '" + c.name + "' of table '" + def.name + "' is " +
              (c.type == col_type::kComplex
                   ? std::string("an attachment, multi-value or version-history column")
                   : "of the type code " + std::to_string(c.type) + ", which no Access version documents") +
              ", which cannot be read yet.",
          cursor_->pages().fileName());
    }
    picked_.push_back(i);
    columns_.push_back(ToCoreColumn(c, jet3));
  }
}

bool TableRowReader::Next(Row& row) {
  if (!cursor_->NextRow(cells_)) return false;
  const auto& def = cursor_->definition();
  row.resize(picked_.size());
  const Place place = cursor_->place();
  for (std::size_t k = 0; k < picked_.size(); ++k) {
    std::size_t i = picked_[k];
    cursor_->decoder().DecodeInto(def.columns[i], cells_[i], place, row[k]);
  }
  return true;
}

bool TableRowReader::NextText(std::string& out, char separator, std::string_view nullText) {
  if (!cursor_->NextRow(cells_)) return false;
  const auto& def = cursor_->definition();
  const Place place = cursor_->place();
  const ValueDecoder& decoder = cursor_->decoder();
  for (std::size_t k = 0; k < picked_.size(); ++k) {
    if (k) out += separator;
    std::size_t i = picked_[k];
    if (!decoder.AppendText(def.columns[i], cells_[i], place, out)) out.append(nullText);
  }
  return true;
}

}  // namespace qv::jet
