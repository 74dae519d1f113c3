#include "engine/core/value.h"

namespace qv {

const char* ColumnTypeName(ColumnType type) {
  switch (type) {
    case ColumnType::Boolean:
      return "Boolean";
    case ColumnType::Byte:
      return "Byte";
    case ColumnType::Int16:
      return "Int16";
    case ColumnType::Int32:
      return "Int32";
    case ColumnType::Int64:
      return "Int64";
    case ColumnType::Single:
      return "Single";
    case ColumnType::Double:
      return "Double";
    case ColumnType::Currency:
      return "Currency";
    case ColumnType::Decimal:
      return "Decimal";
    case ColumnType::DateTime:
      return "DateTime";
    case ColumnType::Date:
      return "Date";
    case ColumnType::Time:
      return "Time";
    case ColumnType::Text:
      return "Text";
    case ColumnType::Memo:
      return "Memo";
    case ColumnType::Binary:
      return "Binary";
    case ColumnType::LongBinary:
      return "LongBinary";
    case ColumnType::Guid:
      return "Guid";
  }
  return "?";
}

// Howard Hinnant's civil-date algorithms (public domain description): exact for all int64 years
// that matter here, negative years included.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
}

bool IsValidDate(std::int64_t year, unsigned month, unsigned day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned limit = kDays[month - 1];
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && leap) limit = 29;
  return day <= limit;
}

}  // namespace qv
