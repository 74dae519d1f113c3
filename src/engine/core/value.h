// The engine-neutral model of columns and values that both file engines speak, so a table read
// by one engine can be written by the other without either knowing the other's format.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/bytes.h"

namespace qv {

// Column types, named by what they hold rather than by either format's field codes.
enum class ColumnType : std::uint8_t {
  Boolean,
  Byte,  // unsigned 8-bit
  Int16,
  Int32,
  Int64,
  Single,  // 32-bit float
  Double,
  Currency,    // 64-bit integer scaled by 10,000
  Decimal,     // fixed precision and scale
  DateTime,    // date and time of day
  Date,        // date only
  Time,        // time of day only
  Text,        // up to 255 characters
  Memo,        // long text
  Binary,      // up to 255 bytes
  LongBinary,  // long binary, OLE objects, graphics
  Guid,
};

const char* ColumnTypeName(ColumnType type);

struct Column {
  std::string name;
  ColumnType type = ColumnType::Text;
  std::uint32_t size = 0;      // characters for Text, bytes for Binary, 0 where the type fixes it
  std::uint8_t precision = 0;  // Decimal only
  std::uint8_t scale = 0;      // Decimal only
  bool autoIncrement = false;
  bool required = false;
  int adoType = 0;  // the ADO data-type number the original driver reported
};

// Money as a whole number of ten-thousandths, exact, as both formats' currency types need.
struct Currency {
  std::int64_t scaled = 0;
  friend bool operator==(const Currency&, const Currency&) = default;
};

// A decimal number as canonical text ("-12.3400"), exact whatever its precision.
struct Decimal {
  std::string text;
  friend bool operator==(const Decimal&, const Decimal&) = default;
};

// A civil date and time in the proleptic Gregorian calendar; years may be 0 or negative.
struct Timestamp {
  std::int32_t year = 1899;
  std::uint8_t month = 12;
  std::uint8_t day = 30;
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  std::uint8_t second = 0;
  std::uint16_t millisecond = 0;
  // 100-nanosecond units within the millisecond (0..9999): only Access's Date/Time Extended
  // values carry them; every other source leaves 0.
  std::uint16_t tick = 0;
  friend bool operator==(const Timestamp&, const Timestamp&) = default;
};

// A GUID in its textual byte order: {b0b1b2b3-b4b5-b6b7-b8b9-b10..b15}.
struct Guid {
  std::array<std::uint8_t, 16> bytes{};
  friend bool operator==(const Guid&, const Guid&) = default;
};

// NULL is monostate. Integers of every width travel as int64_t and floats as double; the column's
// type says what width the value came from or must go to. Text is UTF-8.
using Value = std::variant<std::monostate, bool, std::int64_t, double, Currency, Decimal, Timestamp,
                           std::string, Bytes, Guid>;

inline bool IsNull(const Value& v) {
  return std::holds_alternative<std::monostate>(v);
}

using Row = std::vector<Value>;

// Days between 0001-01-01 style civil dates and 1970-01-01, proleptic Gregorian.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day);
bool IsValidDate(std::int64_t year, unsigned month, unsigned day);

}  // namespace qv
