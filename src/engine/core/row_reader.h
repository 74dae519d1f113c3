// A table read as a stream: the columns and the row count are known before the first row, and
// rows come one at a time in file order, so memory does not grow with the table.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/value.h"

namespace qv {

class RowReader {
 public:
  virtual ~RowReader() = default;
  virtual const std::vector<Column>& columns() const = 0;
  // Rows the table says it holds; -1 when the format cannot tell before reading.
  virtual std::int64_t rowCount() const = 0;
  // Fills `row` with the next row (one value per column) and returns true, or returns false at
  // the end. Throws qv::Error on a damaged file.
  virtual bool Next(Row& row) = 0;
};

}  // namespace qv
