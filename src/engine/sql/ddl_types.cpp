#include "engine/sql/ddl_types.h"

#include <string>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"

namespace qv::sql {

namespace {

enum class Arguments { None, Size, PrecisionScale };

struct TypeRow {
  std::string_view name;
  ColumnType type;
  int adoType;
  Arguments arguments;
  bool autoIncrement;
};

constexpr TypeRow kTypes[] = {
    {"INT", ColumnType::Int32, 3, Arguments::None, false},
    {"INTEGER", ColumnType::Int32, 3, Arguments::None, false},
    {"LONG", ColumnType::Int32, 3, Arguments::None, false},
    {"SHORT", ColumnType::Int16, 2, Arguments::None, false},
    {"SMALLINT", ColumnType::Int16, 2, Arguments::None, false},
    {"BYTE", ColumnType::Byte, 17, Arguments::None, false},
    {"COUNTER", ColumnType::Int32, 3, Arguments::None, true},
    {"AUTOINCREMENT", ColumnType::Int32, 3, Arguments::None, true},
    {"TEXT", ColumnType::Text, 202, Arguments::Size, false},
    {"MEMO", ColumnType::Memo, 203, Arguments::None, false},
    {"LONGTEXT", ColumnType::Memo, 203, Arguments::None, false},
    {"FLOAT", ColumnType::Double, 5, Arguments::None, false},
    {"DOUBLE", ColumnType::Double, 5, Arguments::None, false},
    {"REAL", ColumnType::Single, 4, Arguments::None, false},
    {"SINGLE", ColumnType::Single, 4, Arguments::None, false},
    {"DECIMAL", ColumnType::Decimal, 131, Arguments::PrecisionScale, false},
    {"CURRENCY", ColumnType::Currency, 6, Arguments::None, false},
    {"MONEY", ColumnType::Currency, 6, Arguments::None, false},
    {"DATETIME", ColumnType::DateTime, 7, Arguments::None, false},
    {"DATE", ColumnType::DateTime, 7, Arguments::None, false},
    {"TIME", ColumnType::DateTime, 7, Arguments::None, false},
    {"BIT", ColumnType::Boolean, 11, Arguments::None, false},
    {"YESNO", ColumnType::Boolean, 11, Arguments::None, false},
    {"LOGICAL", ColumnType::Boolean, 11, Arguments::None, false},
    {"OLEOBJECT", ColumnType::LongBinary, 205, Arguments::None, false},
    {"LONGBINARY", ColumnType::LongBinary, 205, Arguments::None, false},
    {"BINARY", ColumnType::Binary, 204, Arguments::Size, false},
    {"GUID", ColumnType::Guid, 72, Arguments::None, false},
};

constexpr std::uint32_t kMaxTextSize = 255;
constexpr std::uint32_t kMaxBinarySize = 255;
constexpr std::uint32_t kMaxDecimalPrecision = 28;
constexpr std::uint32_t kDefaultDecimalPrecision = 18;

const TypeRow* Find(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const TypeRow& row : kTypes) {
    if (EqualIgnoringLetterCase(row.name, name)) return &row;
  }
  return nullptr;
}

[[noreturn]] void Refuse(std::string_view typeName, const std::string& problem) {
  throw qv::Error(errc::kFieldDefinition, "Type " + std::string(typeName) + ": " + problem);
}

}  // namespace

bool IsTypeName(std::string_view typeName) {
  return Find(typeName) != nullptr;
}

qv::Column ColumnForTypeName(std::string_view typeName, const std::vector<std::uint32_t>& arguments) {
  const TypeRow* row = Find(typeName);
  if (!row) {
    throw qv::Error(errc::kInvalidFieldType, "'" + std::string(typeName) + "' is not a data type name");
  }
  qv::Column column;
  column.type = row->type;
  column.adoType = row->adoType;
  column.autoIncrement = row->autoIncrement;
  switch (row->arguments) {
    case Arguments::None:
      if (!arguments.empty()) Refuse(typeName, "takes no size in parentheses");
      break;
    case Arguments::Size: {
      if (arguments.size() > 1) Refuse(typeName, "takes one size in parentheses, not two");
      const std::uint32_t max = row->type == ColumnType::Text ? kMaxTextSize : kMaxBinarySize;
      const std::uint32_t size = arguments.empty() ? max : arguments[0];
      if (size < 1 || size > max) {
        Refuse(typeName, "size " + std::to_string(size) + " is outside 1 to " + std::to_string(max));
      }
      column.size = size;
      break;
    }
    case Arguments::PrecisionScale: {
      if (arguments.size() > 2) Refuse(typeName, "takes at most a precision and a scale");
      const std::uint32_t precision = arguments.empty() ? kDefaultDecimalPrecision : arguments[0];
      const std::uint32_t scale = arguments.size() > 1 ? arguments[1] : 0;
      if (precision < 1 || precision > kMaxDecimalPrecision) {
        Refuse(typeName, "precision " + std::to_string(precision) + " is outside 1 to " +
                             std::to_string(kMaxDecimalPrecision));
      }
      if (scale > precision) {
        Refuse(typeName, "scale " + std::to_string(scale) + " is larger than the precision " +
                             std::to_string(precision));
      }
      column.precision = static_cast<std::uint8_t>(precision);
      column.scale = static_cast<std::uint8_t>(scale);
      break;
    }
  }
  return column;
}

}  // namespace qv::sql
