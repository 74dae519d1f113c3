// Rows of a data page. A row holds its column count, the fixed-length columns at their
// descriptors' offsets, the variable-length columns, then (read from the row's end backwards) the
// null mask, the count of variable columns and their offset table (Jet3 adds a jump table for
// rows longer than 256 bytes). Booleans live in the null mask itself. Columns added after a row
// was written are missing from it and read as NULL; deleted columns leave unused space.
// See docs/formats/jet.md, "Rows".
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/text_codec.h"
#include "engine/core/value.h"
#include "engine/jet/header.h"
#include "engine/jet/page_store.h"
#include "engine/jet/table_definition.h"

namespace qv::jet {

// Where a value lives, for error texts. Building the text costs more than decoding a value, so
// it is only produced when an error needs it: either fixed text or a callback.
class Place {
 public:
  Place() = default;
  Place(const char* text) : text_(text) {}             // NOLINT: plain text converts
  Place(std::string text) : text_(std::move(text)) {}  // NOLINT
  Place(const void* context, std::string (*describe)(const void*)) : context_(context), describe_(describe) {}
  std::string str() const { return describe_ ? describe_(context_) : text_; }

 private:
  std::string text_;
  const void* context_ = nullptr;
  std::string (*describe_)(const void*) = nullptr;
};

// One column of one row as stored: its bytes (empty for NULL) or, for Yes/No, its bit.
struct Cell {
  bool null = true;
  bool flag = false;  // Yes/No value
  std::span<const std::uint8_t> bytes;
};

// Splits a row into cells, one per column of the definition (definition order).
class RowSplitter {
 public:
  RowSplitter(const TableDefinition& table, const Layout& layout) : table_(table), layout_(layout) {}
  // `where` names the row's page and offset for errors.
  void Split(std::span<const std::uint8_t> row, const Place& where, std::vector<Cell>& cells);

 private:
  // What Split needs of one column, packed (the column descriptors are large and spread out).
  struct ColumnPlan {
    std::uint16_t number = 0;  // null mask bit
    std::uint16_t at = 0;      // fixed columns: offset in the row (after the column count)
    std::uint16_t length = 0;  // fixed columns: bytes
    std::uint16_t varIndex = 0;
    std::uint8_t kind = 0;  // kBooleanColumn, kFixedColumn or kVariableColumn
  };
  static constexpr std::uint8_t kBooleanColumn = 0, kFixedColumn = 1, kVariableColumn = 2;
  void MakePlan();

  const TableDefinition& table_;
  const Layout& layout_;
  std::vector<ColumnPlan> plan_;         // built at the first row
  std::vector<std::size_t> varOffsets_;  // reused from row to row
};

// Turns cells into values, following long values into LVAL pages.
class ValueDecoder {
 public:
  ValueDecoder(PageStore& store, const DatabaseHeader& header);
  qv::Value Decode(const ColumnDef& column, const Cell& cell, const Place& where) const;
  // The same into `out`, reusing the text buffer `out` may already hold (row after row).
  void DecodeInto(const ColumnDef& column, const Cell& cell, const Place& where, qv::Value& out) const;
  // The value's text form (exactly qv::FormatValueText of Decode's value) appended to `out`,
  // without building the value for the common types: numbers are formatted and text decoded
  // straight into `out`. Returns false, appending nothing, for NULL.
  bool AppendText(const ColumnDef& column, const Cell& cell, const Place& where, std::string& out) const;

  // The whole content of a long value (memo/OLE) from its 12-byte (or longer, inline) field.
  Bytes ReadLongValue(std::span<const std::uint8_t> field, const Place& where) const;
  // Text of a text or memo column's stored bytes.
  std::string DecodeText(std::span<const std::uint8_t> bytes) const;

 private:
  // A calculated column's stored result, typed as its expression's result.
  qv::Value DecodeCalculated(const ColumnDef& column, const Cell& cell, const Place& where) const;

  PageStore& store_;
  const DatabaseHeader& header_;
  std::unique_ptr<TextCodec> codec_;  // Jet3 code page
};

// Access date/time (days since 1899-12-30, the fraction being the time of day even for negative
// days) to a civil timestamp, rounded to the millisecond. Throws kCorrupt beyond years -9999..9999.
qv::Timestamp DateFromDouble(double days, const Place& where);

// The Date/Time Extended text of ACE17: 19 digits of days since 0001-01-01, ':', 12 digits of
// seconds of the day followed by 7 digits of 100-ns units, ':', the precision ("7").
struct ExtendedDate {
  std::int64_t days = 0;
  std::int64_t seconds = 0;
  std::int64_t ticks = 0;  // 100 ns
};
ExtendedDate ParseExtendedDate(std::span<const std::uint8_t> bytes, const Place& where);

// The value inside a calculated column's field (ACE14+): 16 bytes, a 32-bit length, the value
// stored as its type stores it.
std::span<const std::uint8_t> UnwrapCalculated(std::span<const std::uint8_t> field, const Place& where);

// Decimal text of a calculated Decimal column's value (inside its wrapper), given with `scale`
// fraction digits when that keeps every digit.
std::string CalculatedDecimalText(std::span<const std::uint8_t> bytes, std::uint8_t scale,
                                  const Place& where);

// Decimal text with exactly `scale` fraction digits from a 17-byte Numeric field.
std::string NumericText(std::span<const std::uint8_t> bytes, std::uint8_t scale);

}  // namespace qv::jet
