#include "engine/jet/row_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

#include "engine/core/double_text.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/data_page.h"
#include "engine/jet/jet_text.h"

namespace qv::jet {

namespace {

std::string Hex2(std::size_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%zx", v);
  return buf;
}

}  // namespace

void RowSplitter::MakePlan() {
  plan_.clear();
  plan_.reserve(table_.columns.size());
  for (const ColumnDef& c : table_.columns) {
    ColumnPlan p;
    p.number = c.number;
    p.kind = c.maskBoolean() ? kBooleanColumn : c.fixedLength() ? kFixedColumn : kVariableColumn;
    // Offsets past 0xffff cannot fit any row: keep them past every row instead of wrapping.
    std::size_t at = layout_.rowColumnCountSize + c.fixedOffset;
    p.at = static_cast<std::uint16_t>(std::min<std::size_t>(at, 0xffff));
    p.length = c.length;
    p.varIndex = c.varIndex;
    plan_.push_back(p);
  }
}

void RowSplitter::Split(std::span<const std::uint8_t> row, const Place& where, std::vector<Cell>& cells) {
  const std::size_t n = row.size();
  const std::size_t ccs = layout_.rowColumnCountSize;
  auto corrupt = [&](const std::string& what, std::size_t off) {
    ThrowCorrupt(what + " (row offset " + Hex2(off) + ")", where.str());
  };
  if (plan_.size() != table_.columns.size()) MakePlan();
  if (n < ccs) corrupt("row shorter than its column count", 0);
  std::size_t rowColumns = ccs == 1 ? row[0] : LoadU16(row.data());
  std::size_t maskSize = (rowColumns + 7) / 8;
  if (n < ccs + maskSize) corrupt("row too short for its null mask", 0);
  const std::uint8_t* mask = row.data() + n - maskSize;
  std::size_t tailEnd = n - maskSize;  // everything before the null mask

  // Offsets of the variable columns present in this row (plus the end of the last).
  std::vector<std::size_t>& varOffsets = varOffsets_;
  std::size_t varCount = 0;
  if (table_.varColumns > 0) {
    if (!layout_.jet3) {
      if (tailEnd < ccs + 2) corrupt("row too short for its variable column count", tailEnd);
      varCount = LoadU16(row.data() + tailEnd - 2);
      std::size_t need = 2 + 2 * (varCount + 1);
      if (tailEnd < ccs + need) corrupt("variable column table larger than the row", tailEnd);
      varOffsets.resize(varCount + 1);
      const std::uint8_t* entry = row.data() + tailEnd - 4;
      for (std::size_t i = 0; i <= varCount; ++i, entry -= 2) varOffsets[i] = LoadU16(entry);
    } else {
      if (tailEnd < ccs + 1) corrupt("row too short for its variable column count", tailEnd);
      varCount = row[tailEnd - 1];
      std::size_t jumps = (n - 1) / 256;
      std::size_t need = 1 + jumps + varCount + 1;
      if (tailEnd < ccs + need) corrupt("variable column table larger than the row", tailEnd);
      std::size_t tableAt = tailEnd - 1 - jumps - 1;  // var_table[0]
      varOffsets.resize(varCount + 1);
      for (std::size_t i = 0; i <= varCount; ++i) {
        std::size_t high = 0;
        for (std::size_t k = 0; k < jumps; ++k) {
          std::uint8_t j = row[tailEnd - 2 - k];
          if (j != 0xff && j <= i) ++high;
        }
        varOffsets[i] = row[tableAt - i] + 256 * high;
      }
    }
    std::size_t previous = 0;
    for (std::size_t i = 0; i <= varCount; ++i) {
      if (varOffsets[i] > n || varOffsets[i] < previous) [[unlikely]]
        corrupt("variable column offset " + std::to_string(varOffsets[i]) + " out of order or past the row",
                tailEnd);
      previous = varOffsets[i];
    }
  }

  const std::size_t columns = plan_.size();
  cells.resize(columns);
  for (std::size_t i = 0; i < columns; ++i) {
    const ColumnPlan& p = plan_[i];
    Cell& cell = cells[i];
    bool bit = p.number < rowColumns && ((mask[p.number >> 3] >> (p.number & 7)) & 1) != 0;
    cell.bytes = {};
    if (p.kind == kBooleanColumn) {
      cell.null = false;
      cell.flag = bit;
      continue;
    }
    cell.flag = false;
    cell.null = true;
    if (!bit) continue;
    if (p.kind == kFixedColumn) {
      if (p.at > n || p.length > n - p.at) [[unlikely]]
        corrupt("fixed column '" + table_.columns[i].name + "' runs past the end of the row", p.at);
      cell.null = false;
      cell.bytes = row.subspan(p.at, p.length);
    } else {
      if (p.varIndex >= varCount) continue;  // added after this row was written
      std::size_t a = varOffsets[p.varIndex], b = varOffsets[p.varIndex + 1];
      cell.null = false;
      cell.bytes = row.subspan(a, b - a);
    }
  }
}

ValueDecoder::ValueDecoder(PageStore& store, const DatabaseHeader& header) : store_(store), header_(header) {
  if (header.layout.jet3)
    codec_ =
        std::make_unique<TextCodec>(TextCodec::CharsetForCodePage(header.codePage ? header.codePage : 1252));
}

std::string ValueDecoder::DecodeText(std::span<const std::uint8_t> bytes) const {
  if (codec_) return codec_->ToUtf8(bytes);
  return DecodeJet4Text(bytes);
}

Bytes ValueDecoder::ReadLongValue(std::span<const std::uint8_t> field, const Place& where) const {
  if (field.empty()) return {};
  if (field.size() < 12) ThrowCorrupt("long value field shorter than its 12-byte header", where.str());
  std::uint32_t head = LoadU32(field.data());
  std::uint32_t length = head & 0x3fffffff;
  std::uint8_t kind = static_cast<std::uint8_t>(head >> 24) & 0xc0;
  const Layout& l = header_.layout;
  if (kind == 0x80) {  // inline, right after the header
    if (length > field.size() - 12)
      ThrowCorrupt("inline long value of " + std::to_string(length) + " bytes overruns its field",
                   where.str());
    return Bytes(field.begin() + 12, field.begin() + 12 + length);
  }
  RowPointer ptr = RowPointer::Decode(LoadU32(field.data() + 4));
  if (kind == 0x40) {  // one row of an LVAL page
    RowRef r = ReadRowAt(store_, l, ptr);
    if (length > r.bytes.size())
      ThrowCorrupt("long value of " + std::to_string(length) + " bytes is longer than its row (" +
                       std::to_string(r.bytes.size()) + ")",
                   store_.Where(ptr.page, r.slot.start));
    return Bytes(r.bytes.begin(), r.bytes.begin() + length);
  }
  if (kind != 0) ThrowCorrupt("unknown long value kind", where.str());
  // A chain of LVAL rows, each starting with the pointer to the next.
  Bytes out;
  out.reserve(std::min<std::size_t>(length, 64u << 20));
  std::set<std::uint32_t> seen;
  while (out.size() < length) {
    if (ptr.null())
      ThrowCorrupt("long value chain ends after " + std::to_string(out.size()) + " of " +
                       std::to_string(length) + " bytes",
                   where.str());
    if (!seen.insert(ptr.Encode()).second) ThrowCorrupt("long value chain loops", store_.Where(ptr.page, 0));
    RowRef r = ReadRowAt(store_, l, ptr);
    if (r.bytes.size() < 4)
      ThrowCorrupt("long value chain row shorter than its pointer", store_.Where(ptr.page, r.slot.start));
    std::size_t take = std::min<std::size_t>(r.bytes.size() - 4, length - out.size());
    out.insert(out.end(), r.bytes.begin() + 4, r.bytes.begin() + 4 + take);
    ptr = RowPointer::Decode(LoadU32(r.bytes.data()));
  }
  return out;
}

Timestamp DateFromDouble(double v, const Place& where) {
  if (!std::isfinite(v) || v < -4000000.0 || v > 3000000.0)
    ThrowCorrupt("date value out of range", where.str());
  // The whole part counts days from 1899-12-30 (towards zero), the fraction is always the time
  // of day: -1.25 is 1899-12-29 06:00.
  double whole = std::trunc(v);
  double frac = std::fabs(v - whole);
  std::int64_t ms = std::llround(frac * 86400000.0);
  std::int64_t days = static_cast<std::int64_t>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    days += 1;
  }
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days + DaysFromCivil(1899, 12, 30), y, m, d);
  Timestamp t;
  t.year = static_cast<std::int32_t>(y);
  t.month = static_cast<std::uint8_t>(m);
  t.day = static_cast<std::uint8_t>(d);
  t.hour = static_cast<std::uint8_t>(ms / 3600000);
  t.minute = static_cast<std::uint8_t>(ms / 60000 % 60);
  t.second = static_cast<std::uint8_t>(ms / 1000 % 60);
  t.millisecond = static_cast<std::uint16_t>(ms % 1000);
  return t;
}

ExtendedDate ParseExtendedDate(std::span<const std::uint8_t> b, const Place& where) {
  // 19 digits of days, ':', 12 digits of seconds and 7 of 100 ns, ':', the precision digit.
  if (b.size() < 39) ThrowCorrupt("Date/Time Extended value shorter than 39 bytes", where.str());
  auto digits = [&](std::size_t at, std::size_t len) {
    std::int64_t v = 0;
    for (std::size_t i = at; i < at + len; ++i) {
      if (b[i] < '0' || b[i] > '9') ThrowCorrupt("Date/Time Extended value holds a non-digit", where.str());
      v = v * 10 + (b[i] - '0');
    }
    return v;
  };
  ExtendedDate e;
  e.days = digits(0, 19);
  e.seconds = digits(20, 12);
  e.ticks = digits(32, 7);
  if (e.days > 3652059 || e.seconds >= 86400)
    ThrowCorrupt("Date/Time Extended value out of range", where.str());
  return e;
}

std::string NumericText(std::span<const std::uint8_t> b, std::uint8_t scale) {
  __extension__ typedef unsigned __int128 U128;
  U128 v = 0;
  for (int word = 0; word < 4; ++word) v = (v << 32) | LoadU32(b.data() + 1 + 4 * word);
  std::string digits;
  while (v > 0) {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  while (digits.size() < static_cast<std::size_t>(scale) + 1) digits.insert(digits.begin(), '0');
  if (scale > 0) digits.insert(digits.end() - scale, '.');
  if (b[0] & 0x80) digits.insert(digits.begin(), '-');
  return digits;
}

std::string CalculatedDecimalText(std::span<const std::uint8_t> b, std::uint8_t scale, const Place& where) {
  // A 16-bit length, the value's own scale, a sign byte (non-zero: negative), then the magnitude
  // as a whole number of 4-byte units: a first unit on its own when their count is odd, then
  // 8-byte pairs, each unit or pair little-endian.
  if (b.size() < 4) ThrowCorrupt("calculated decimal shorter than its 4-byte head", where.str());
  const std::size_t declared = LoadU16(b.data());
  std::size_t length = (declared > 0 ? std::min<std::size_t>(declared, b.size() - 2) : b.size() - 2);
  length = length < 2 ? 0 : std::min<std::size_t>((length - 2) / 4 * 4, 16);
  if (4 + length > b.size()) ThrowCorrupt("calculated decimal longer than its field", where.str());
  const std::uint8_t own = b[2];
  const bool negative = b[3] != 0;
  std::vector<std::uint8_t> be(b.begin() + 4, b.begin() + 4 + static_cast<std::ptrdiff_t>(length));
  std::size_t at = 0;
  if (length % 8 != 0) {
    std::reverse(be.begin(), be.begin() + 4);
    at = 4;
  }
  for (; at + 8 <= be.size(); at += 8)
    std::reverse(be.begin() + static_cast<std::ptrdiff_t>(at),
                 be.begin() + static_cast<std::ptrdiff_t>(at) + 8);
  __extension__ typedef unsigned __int128 U128;
  U128 v = 0;
  for (std::uint8_t byte : be) v = (v << 8) | byte;
  if (own > 28) ThrowCorrupt("calculated decimal with " + std::to_string(own) + " decimals", where.str());
  std::string digits;
  while (v > 0) {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  // To the column's scale: zeros added, or zeros dropped; a digit that the scale cannot keep
  // stays (the text then has more decimals than the column names).
  std::size_t decimals = own;
  while (decimals < scale) {
    digits.push_back('0');
    ++decimals;
  }
  while (decimals > scale && !digits.empty() && digits.back() == '0') {
    digits.pop_back();
    --decimals;
  }
  while (digits.size() < decimals + 1) digits.insert(digits.begin(), '0');
  if (decimals > 0) digits.insert(digits.end() - static_cast<std::ptrdiff_t>(decimals), '.');
  const bool zero = digits.find_first_not_of("0.") == std::string::npos;
  if (negative && !zero) digits.insert(digits.begin(), '-');
  return digits;
}

std::span<const std::uint8_t> UnwrapCalculated(std::span<const std::uint8_t> b, const Place& where) {
  if (b.empty()) return b;
  if (b.size() < 20) ThrowCorrupt("calculated value shorter than its 20-byte wrapper", where.str());
  std::uint32_t len = LoadU32(b.data() + 16);
  if (len > b.size() - 20) ThrowCorrupt("calculated value longer than its field", where.str());
  return b.subspan(20, len);
}

void ValueDecoder::DecodeInto(const ColumnDef& c, const Cell& cell, const Place& where,
                              qv::Value& out) const {
  if (c.type == col_type::kText && !cell.null && !c.calculated() && !codec_) {
    std::string* s = std::get_if<std::string>(&out);
    if (!s) s = &out.emplace<std::string>();
    s->clear();
    AppendJet4Text(cell.bytes, *s);
    return;
  }
  out = Decode(c, cell, where);
}

namespace {

void AppendInteger(std::string& out, std::int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

}  // namespace

bool ValueDecoder::AppendText(const ColumnDef& c, const Cell& cell, const Place& where,
                              std::string& out) const {
  if (c.maskBoolean()) {
    out += cell.flag ? "true" : "false";
    return true;
  }
  if (cell.null) return false;
  if (!c.calculated()) {
    // The common types, with the size checks of Decode (which reports a short field).
    const auto b = cell.bytes;
    switch (c.type) {
      case col_type::kByte:
        if (b.size() >= 1) return AppendInteger(out, b[0]), true;
        break;
      case col_type::kInt16:
        if (b.size() >= 2) return AppendInteger(out, static_cast<std::int16_t>(LoadU16(b.data()))), true;
        break;
      case col_type::kInt32:
      case col_type::kComplex:
        if (b.size() >= 4) return AppendInteger(out, static_cast<std::int32_t>(LoadU32(b.data()))), true;
        break;
      case col_type::kBigInt:
        if (b.size() >= 8) return AppendInteger(out, static_cast<std::int64_t>(LoadU64(b.data()))), true;
        break;
      case col_type::kSingle:
        if (b.size() >= 4) return qv::AppendDoubleText(out, static_cast<double>(LoadF32(b.data()))), true;
        break;
      case col_type::kDouble:
        if (b.size() >= 8) return qv::AppendDoubleText(out, LoadF64(b.data())), true;
        break;
      case col_type::kText:
        if (!codec_) return AppendJet4Text(b, out), true;
        break;
      default:
        break;
    }
  }
  auto text = qv::FormatValueText(Decode(c, cell, where));
  if (!text) return false;
  out += *text;
  return true;
}

namespace {

// The civil date and time of a Date/Time Extended value.
Timestamp TimestampOf(const ExtendedDate& e) {
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(e.days + DaysFromCivil(1, 1, 1), y, m, d);
  Timestamp t;
  t.year = static_cast<std::int32_t>(y);
  t.month = static_cast<std::uint8_t>(m);
  t.day = static_cast<std::uint8_t>(d);
  t.hour = static_cast<std::uint8_t>(e.seconds / 3600);
  t.minute = static_cast<std::uint8_t>(e.seconds / 60 % 60);
  t.second = static_cast<std::uint8_t>(e.seconds % 60);
  t.millisecond = static_cast<std::uint16_t>(e.ticks / 10000);
  t.tick = static_cast<std::uint16_t>(e.ticks % 10000);
  return t;
}

// A GUID stored as a little-endian Data1/Data2/Data3 followed by 8 bytes in order.
Guid GuidOf(std::span<const std::uint8_t> b) {
  Guid g;
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) g.bytes[static_cast<std::size_t>(i)] = b[static_cast<std::size_t>(order[i])];
  return g;
}

}  // namespace

qv::Value ValueDecoder::DecodeCalculated(const ColumnDef& c, const Cell& cell, const Place& where) const {
  // The column's type is the expression's result type; the wrapper holds the result stored as
  // that type stores it, except Yes/No (one byte, not zero for Yes) and Decimal (a format of
  // its own, CalculatedDecimalText). A text result longer than a text column is typed text
  // of length 0 and kept as a long value.
  if (c.type == col_type::kText && c.length > 0) return DecodeText(UnwrapCalculated(cell.bytes, where));
  if (c.type == col_type::kText || c.type == col_type::kMemo) {
    Bytes raw = ReadLongValue(cell.bytes, where);
    return DecodeText(UnwrapCalculated(raw, where));
  }
  const auto inner = UnwrapCalculated(cell.bytes, where);
  if (inner.empty()) return std::monostate{};
  if (c.type == col_type::kBoolean) return inner[0] != 0;
  if (c.type == col_type::kNumeric) return Decimal{CalculatedDecimalText(inner, c.scale, where)};
  ColumnDef plain = c;
  plain.extFlags = 0;
  Cell stored;
  stored.null = false;
  stored.bytes = inner;
  return Decode(plain, stored, where);
}

qv::Value ValueDecoder::Decode(const ColumnDef& c, const Cell& cell, const Place& where) const {
  if (c.maskBoolean()) return cell.flag;
  if (cell.null) return std::monostate{};
  if (c.calculated()) return DecodeCalculated(c, cell, where);
  auto b = cell.bytes;
  auto need = [&](std::size_t len) {
    if (b.size() < len)
      ThrowCorrupt("column '" + c.name + "' holds " + std::to_string(b.size()) + " bytes, needs " +
                       std::to_string(len),
                   where.str());
  };
  switch (c.type) {
    case col_type::kByte:
      need(1);
      return static_cast<std::int64_t>(b[0]);
    case col_type::kInt16:
      need(2);
      return static_cast<std::int64_t>(static_cast<std::int16_t>(LoadU16(b.data())));
    case col_type::kInt32:
    case col_type::kComplex:
      need(4);
      return static_cast<std::int64_t>(static_cast<std::int32_t>(LoadU32(b.data())));
    case col_type::kBigInt:
      need(8);
      return static_cast<std::int64_t>(LoadU64(b.data()));
    case col_type::kCurrency:
      need(8);
      return Currency{static_cast<std::int64_t>(LoadU64(b.data()))};
    case col_type::kSingle:
      need(4);
      return static_cast<double>(LoadF32(b.data()));
    case col_type::kDouble:
      need(8);
      return LoadF64(b.data());
    case col_type::kDateTime:
      need(8);
      return DateFromDouble(LoadF64(b.data()), where);
    case col_type::kDateTimeExt:
      return TimestampOf(ParseExtendedDate(b, where));
    case col_type::kGuid:
      need(16);
      return GuidOf(b);
    case col_type::kNumeric:
      need(17);
      return Decimal{NumericText(b, c.scale)};
    case col_type::kBinary:
      return Bytes(b.begin(), b.end());
    case col_type::kText:
      return DecodeText(b);
    case col_type::kMemo: {
      Bytes raw = ReadLongValue(b, where);
      return DecodeText(raw);
    }
    case col_type::kOle:
      return ReadLongValue(b, where);
    default:
      throw Error(errc::kNotSupported,
                  "Column '" + c.name + "' has the type code " + std::to_string(c.type) +
                      ", which this engine cannot read.",
                  where.str());
  }
}

}  // namespace qv::jet
