// Reads a table's rows in physical order: the data pages its usage map marks, in page order, and
// on each page the rows in slot order. Deleted rows are skipped; an overflow slot is followed to
// the row it points to. Memory stays the same whatever the table's size: one page at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/row_reader.h"
#include "engine/jet/data_page.h"
#include "engine/jet/file_registry.h"
#include "engine/jet/row_codec.h"
#include "engine/jet/table_definition.h"
#include "engine/jet/usage_map.h"

namespace qv::jet {

class TableCursor {
 public:
  TableCursor(std::shared_ptr<SharedFile> file, TableDefinition table);

  const TableDefinition& definition() const { return table_; }
  // The next live row as cells (valid until the next call), or false at the end.
  bool NextRow(std::vector<Cell>& cells);
  // Where the current row lives (for error texts and dumps).
  RowPointer position() const { return position_; }
  std::string Where() const;
  // The same, produced only when an error asks for it.
  Place place() const {
    return Place(this, [](const void* self) { return static_cast<const TableCursor*>(self)->Where(); });
  }
  const ValueDecoder& decoder() const { return decoder_; }
  PageStore& pages() { return *file_->pages; }

 private:
  bool LoadNextPage();

  std::shared_ptr<SharedFile> file_;
  TableDefinition table_;
  UsageMap map_;
  RowSplitter splitter_;
  ValueDecoder decoder_;
  PagePtr page_;
  std::unique_ptr<DataPageReader> reader_;
  std::uint32_t nextFrom_ = 0;
  bool done_ = false;
  std::uint16_t slot_ = 0;
  RowPointer position_;
  PagePtr overflowPage_;
  std::uint16_t overflowStart_ = 0;
};

struct ReadOptions {
  // Columns that cannot be read yet (ColumnDef::readable): complex columns (attachments,
  // multi-value lists, version history, kept in hidden tables) and calculated columns of other
  // types than text. false: opening the reader fails with 3251 naming the column; true: they are
  // left out of the stream.
  bool skipUnreadableColumns = false;
};

// The engine-neutral stream of a table's rows (one qv::Value per column, definition order).
class TableRowReader final : public qv::RowReader {
 public:
  TableRowReader(std::unique_ptr<TableCursor> cursor, const ReadOptions& options);
  const std::vector<Column>& columns() const override { return columns_; }
  std::int64_t rowCount() const override { return cursor_->definition().rowCount; }
  bool Next(Row& row) override;
  // The next row as text, appended to `out`: each streamed value's text form (as
  // qv::FormatValueText gives it, `nullText` for NULL) with `separator` between values. The
  // same text as Next followed by FormatValueText, without building the values. False at the end.
  bool NextText(std::string& out, char separator, std::string_view nullText);
  // The columns ReadOptions::skipUnreadableColumns left out, in definition order.
  const std::vector<const ColumnDef*>& skippedColumns() const { return skipped_; }

 private:
  std::unique_ptr<TableCursor> cursor_;
  std::vector<Column> columns_;
  std::vector<std::size_t> picked_;  // definition index of each streamed column
  std::vector<const ColumnDef*> skipped_;
  std::vector<Cell> cells_;
};

}  // namespace qv::jet
