#include "engine/jet/write/value_encoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/core/value_text.h"

namespace qv::jet {

namespace {

std::string Shown(const qv::Value& v) {
  auto t = FormatValueText(v);
  if (!t) return "NULL";
  if (t->size() > 60) return t->substr(0, 57) + "...";
  return *t;
}

[[noreturn]] void Mismatch(const ColumnDef& c, const qv::Value& v, const std::string& table,
                           const char* why) {
  throw Error(errc::kTypeConversion,
              "Data type mismatch: the value '" + Shown(v) + "' cannot be stored in column '" + c.name +
                  "' (" + TypeName(c.type) + ") of table '" + table + "': " + why + ".",
              table + "." + c.name);
}

[[noreturn]] void TooLong(const ColumnDef& c, const std::string& table, std::size_t have, std::size_t max,
                          const char* unit) {
  throw Error(errc::kValueTooLong,
              "The field is too small for the data: column '" + c.name + "' of table '" + table +
                  "' holds at most " + std::to_string(max) + " " + unit + ", the value has " +
                  std::to_string(have) + ".",
              table + "." + c.name);
}

// The first character of `utf8` the code page cannot store (0 when there is none).
char32_t LackingCharacter(const TextCodec& codec, const std::string& utf8) {
  std::string scratch;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t start = i;
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t len = lead < 0x80 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    i = std::min(utf8.size(), start + len);
    if (lead < 0x80) continue;
    if (!codec.FromUtf8(std::string_view(utf8).substr(start, i - start), scratch)) {
      char32_t c = lead & (len == 2 ? 0x1f : len == 3 ? 0x0f : 0x07);
      for (std::size_t k = start + 1; k < i; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[k]) & 0x3f);
      return c;
    }
  }
  return 0;
}

[[noreturn]] void Lacking(const ColumnDef& c, const std::string& table, const TextCodec& codec,
                          const std::string& utf8) {
  const char32_t ch = LackingCharacter(codec, utf8);
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
  std::string shown;
  if (ch != 0) {
    std::size_t i = 0;
    // the character itself as the text holds it
    while (i < utf8.size()) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      const std::size_t len = lead < 0x80 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
      char32_t x = len == 1 ? lead : lead & (len == 2 ? 0x1f : len == 3 ? 0x0f : 0x07);
      for (std::size_t k = i + 1; k < i + len && k < utf8.size(); ++k)
        x = (x << 6) | (static_cast<unsigned char>(utf8[k]) & 0x3f);
      if (x == ch) {
        shown = utf8.substr(i, len);
        break;
      }
      i += len;
    }
  }
  throw Error(errc::kTypeConversion,
              "Field '" + c.name + "' of table '" + table + "': the text has the character " +
                  (ch != 0 ? "'" + shown + "' (" + code + ")" : std::string("that is not valid UTF-8")) +
                  ", which the database's code page (" + codec.charset() + ") lacks.",
              table + "." + c.name);
}

// A literal of at most 18 digits with an optional '-' and nothing else (what statements carry for
// whole numbers); false for any other form, which the general parser reads.
bool PlainInteger(const std::string& s, std::int64_t& out) {
  std::size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
  const std::size_t n = s.size() - i;
  if (n == 0 || n > 18) return false;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    const unsigned d = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
    if (d > 9) return false;
    v = v * 10 + static_cast<std::int64_t>(d);
  }
  out = s[0] == '-' ? -v : v;
  return true;
}

// A literal "[-]digits[.digits][e[+|-]digits]" (what statements carry for numbers), read as the
// general parser reads it; false for any other form, and for one the general parser must judge
// (out of range). Up to 15 digits without an exponent, the digits make a whole number below 2^53
// and the power of ten is exact too, so the one division is correctly rounded, the same double
// the general parser finds. Longer numbers (a double written in full has 16 or 17 digits) go to
// std::from_chars, the general parser's own reader, without its blanks, sign and word checks,
// which this form cannot need; its exact algorithm is quicker than any check of ours would be.
bool PlainDecimal(const std::string& s, double& out) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
  std::uint64_t m = 0;
  int digits = 0, decimals = 0;
  bool point = false, exponent = false;
  for (; i < s.size(); ++i) {
    const unsigned d = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
    if (d <= 9) {
      ++digits;
      if (digits <= 15) m = m * 10 + d;
      decimals += point ? 1 : 0;
    } else if (s[i] == '.' && !point && digits > 0) {
      point = true;
    } else if ((s[i] == 'e' || s[i] == 'E') && digits > 0 && (!point || decimals > 0)) {
      exponent = true;
      ++i;
      break;
    } else {
      return false;
    }
  }
  if (digits == 0 || (point && decimals == 0)) return false;
  if (exponent) {
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i)
      if (s[i] < '0' || s[i] > '9') return false;
  }
  if (digits <= 15 && !exponent) {
    const double value = static_cast<double>(m) / kPowers[decimals];
    out = s[0] == '-' ? -value : value;
    return true;
  }
  const auto res = std::from_chars(s.data(), s.data() + s.size(), out, std::chars_format::general);
  return res.ec == std::errc() && res.ptr == s.data() + s.size();
}

// A literal of exactly "yyyy-mm-dd hh:mm:ss" (what statements carry for dates), read as
// ParseTimestamp reads it: a valid date, hours to 23, minutes and seconds to 59. False for any
// other form, which ParseTimestamp reads.
bool PlainTimestamp(const std::string& s, Timestamp& t) {
  if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':')
    return false;
  unsigned f[6];
  static constexpr int kStart[6] = {0, 5, 8, 11, 14, 17};
  for (int k = 0; k < 6; ++k) {
    unsigned v = 0;
    for (int j = kStart[k]; j < kStart[k] + (k == 0 ? 4 : 2); ++j) {
      const unsigned d =
          static_cast<unsigned char>(s[static_cast<std::size_t>(j)]) - static_cast<unsigned>('0');
      if (d > 9) return false;
      v = v * 10 + d;
    }
    f[k] = v;
  }
  if (!IsValidDate(f[0], f[1], f[2]) || f[3] > 23 || f[4] > 59 || f[5] > 59) return false;
  t.year = static_cast<std::int32_t>(f[0]);
  t.month = static_cast<std::uint8_t>(f[1]);
  t.day = static_cast<std::uint8_t>(f[2]);
  t.hour = static_cast<std::uint8_t>(f[3]);
  t.minute = static_cast<std::uint8_t>(f[4]);
  t.second = static_cast<std::uint8_t>(f[5]);
  t.millisecond = 0;
  return true;
}

std::optional<std::int64_t> AsInteger(const qv::Value& v, bool fast) {
  if (auto p = std::get_if<std::int64_t>(&v)) return *p;
  if (auto p = std::get_if<bool>(&v)) return *p ? -1 : 0;
  if (auto p = std::get_if<double>(&v)) {
    // Access rounds a fractional value into an integer column (half to even).
    if (!std::isfinite(*p) || std::fabs(*p) > 9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(std::nearbyint(*p));
  }
  if (auto p = std::get_if<Currency>(&v)) {
    std::int64_t q = p->scaled / 10000, r = p->scaled % 10000;
    if (r > 5000 || (r == 5000 && (q & 1))) ++q;
    if (r < -5000 || (r == -5000 && (q & 1))) --q;
    return q;
  }
  if (auto p = std::get_if<std::string>(&v)) {
    if (std::int64_t plain = 0; fast && PlainInteger(*p, plain)) return plain;
    if (auto i = ParseInteger(*p)) return i;
    if (auto d = ParseDouble(*p)) {
      if (!std::isfinite(*d) || std::fabs(*d) > 9.2e18) return std::nullopt;
      return static_cast<std::int64_t>(std::nearbyint(*d));
    }
  }
  return std::nullopt;
}

std::optional<double> AsDouble(const qv::Value& v, bool fast) {
  if (auto p = std::get_if<std::string>(&v); p && fast) {
    if (double plain = 0; PlainDecimal(*p, plain)) return plain;
  }
  if (auto p = std::get_if<double>(&v)) return *p;
  if (auto p = std::get_if<std::int64_t>(&v)) return static_cast<double>(*p);
  if (auto p = std::get_if<bool>(&v)) return *p ? -1.0 : 0.0;
  if (auto p = std::get_if<Currency>(&v)) return static_cast<double>(p->scaled) / 10000.0;
  if (auto p = std::get_if<Decimal>(&v)) return ParseDouble(p->text);
  if (auto p = std::get_if<std::string>(&v)) return ParseDouble(*p);
  return std::nullopt;
}

void AppendUtf16(std::vector<std::uint16_t>& out, std::uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<std::uint16_t>(0xd800 + (cp >> 10)));
    out.push_back(static_cast<std::uint16_t>(0xdc00 + (cp & 0x3ff)));
  } else {
    out.push_back(static_cast<std::uint16_t>(cp));
  }
}

bool Utf8ToUtf16(const std::string& s, std::vector<std::uint16_t>& out) {
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    if (!DecodeUtf8(s, i, cp)) return false;
    AppendUtf16(out, cp);
  }
  return true;
}

}  // namespace

namespace general {

Bytes EncodeJet4Text(const std::string& utf8, bool compress, std::size_t& units, bool& valid) {
  std::vector<std::uint16_t> u;
  valid = Utf8ToUtf16(utf8, u);
  units = u.size();
  Bytes out;
  if (!valid) return out;
  bool narrow = compress && !u.empty();
  for (auto ch : u) narrow = narrow && ch >= 0x01 && ch <= 0xff;
  if (narrow) {
    out.reserve(2 + u.size());
    out.push_back(0xff);
    out.push_back(0xfe);
    for (auto ch : u) out.push_back(static_cast<std::uint8_t>(ch));
    return out;
  }
  out.resize(u.size() * 2);
  for (std::size_t i = 0; i < u.size(); ++i) StoreU16(out.data() + 2 * i, u[i]);
  return out;
}

}  // namespace general

Bytes EncodeJet4Text(const std::string& utf8, bool compress, std::size_t& units, bool& valid) {
  // Shortcut for the common case, text of the characters U+0001..U+007F: each byte is one
  // character and one UTF-16 unit, which the compressed form stores as that byte.
  if (compress && !utf8.empty()) {
    bool ascii = true;
    for (char ch : utf8) ascii = ascii && static_cast<unsigned char>(ch) - 1u < 0x7fu;
    if (ascii) {
      valid = true;
      units = utf8.size();
      Bytes out;
      out.reserve(2 + utf8.size());
      out.push_back(0xff);
      out.push_back(0xfe);
      out.insert(out.end(), utf8.begin(), utf8.end());
      return out;
    }
  }
  return general::EncodeJet4Text(utf8, compress, units, valid);
}

double DateToDouble(const qv::Timestamp& t) {
  std::int64_t days = DaysFromCivil(t.year, t.month, t.day) - DaysFromCivil(1899, 12, 30);
  double frac =
      (static_cast<double>(t.hour) * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.millisecond) /
      86400000.0;
  return days < 0 ? static_cast<double>(days) - frac : static_cast<double>(days) + frac;
}

bool EncodeNumeric(const std::string& textIn, std::uint8_t precision, std::uint8_t scale, Bytes& out) {
  std::string_view text = textIn;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::string whole, frac;
  bool point = false;
  for (char ch : text) {
    if (ch == '.' && !point) {
      point = true;
    } else if (ch >= '0' && ch <= '9') {
      (point ? frac : whole) += ch;
    } else {
      return false;
    }
  }
  if (whole.empty() && frac.empty()) return false;
  // Round half away from zero to `scale` digits.
  bool roundUp = frac.size() > scale && frac[scale] >= '5';
  if (frac.size() > scale) frac.resize(scale);
  while (frac.size() < scale) frac += '0';
  std::string digits = whole + frac;
  __extension__ typedef unsigned __int128 U128;
  U128 v = 0;
  for (char ch : digits) {
    if (v > (~static_cast<U128>(0)) / 10 - 10) return false;
    v = v * 10 + static_cast<unsigned>(ch - '0');
  }
  if (roundUp) ++v;
  U128 limit = 1;
  for (int i = 0; i < precision; ++i) limit *= 10;
  if (precision < 1 || precision > 28 || v >= limit) return false;
  out.assign(17, 0);
  out[0] = (negative && v != 0) ? 0x80 : 0x00;
  for (int word = 0; word < 4; ++word)
    StoreU32(out.data() + 1 + 4 * word, static_cast<std::uint32_t>(v >> (32 * (3 - word))));
  return true;
}

namespace {

// Yes/No: no NULL (it is No); statements carry flags as text, as ParseBoolean reads it.
bool FlagOf(const ColumnDef& c, const qv::Value& v, const std::string& table, bool fast) {
  if (IsNull(v)) return false;
  if (auto b = std::get_if<bool>(&v)) return *b;
  if (auto s = std::get_if<std::string>(&v)) {
    if (fast && *s == "true") return true;
    if (fast && *s == "false") return false;
    auto b2 = ParseBoolean(*s);
    if (!b2) Mismatch(c, v, table, "not a Yes/No value");
    return *b2;
  }
  if (auto i = AsInteger(v, fast)) return *i != 0;
  Mismatch(c, v, table, "not a Yes/No value");
}

void IntegerBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, bool fast,
                  std::int64_t lo, std::int64_t hi, std::size_t size, Bytes& b) {
  auto i = AsInteger(v, fast);
  if (!i) Mismatch(c, v, table, "not a number");
  if (*i < lo || *i > hi) Mismatch(c, v, table, "out of the column's range");
  b.resize(size);
  if (size == 1)
    b[0] = static_cast<std::uint8_t>(*i);
  else if (size == 2)
    StoreU16(b.data(), static_cast<std::uint16_t>(*i));
  else if (size == 4)
    StoreU32(b.data(), static_cast<std::uint32_t>(*i));
  else
    StoreU64(b.data(), static_cast<std::uint64_t>(*i));
}

void CurrencyBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, bool fast, Bytes& b) {
  std::optional<Currency> cur;
  if (auto p = std::get_if<Currency>(&v))
    cur = *p;
  else if (auto q1 = std::get_if<std::int64_t>(&v)) {
    if (*q1 > INT64_MAX / 10000 || *q1 < INT64_MIN / 10000)
      Mismatch(c, v, table, "out of the currency range");
    cur = Currency{*q1 * 10000};
  } else if (auto q2 = std::get_if<std::string>(&v))
    cur = ParseCurrency(*q2);
  else if (auto d = AsDouble(v, fast)) {
    if (!std::isfinite(*d) || std::fabs(*d) > 9.2e14) Mismatch(c, v, table, "out of the currency range");
    cur = Currency{std::llround(*d * 10000.0)};
  }
  if (!cur) Mismatch(c, v, table, "not a currency amount (at most four decimals)");
  b.resize(8);
  StoreU64(b.data(), static_cast<std::uint64_t>(cur->scaled));
}

void SingleBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, bool fast, Bytes& b) {
  auto d = AsDouble(v, fast);
  if (!d) Mismatch(c, v, table, "not a number");
  // The range is checked after rounding to single precision: a value below the halfway
  // point between the largest Single and the next power of two rounds to the largest Single
  // (its shortest text, 3.4028235E38, is above it as a double).
  constexpr float kMax = std::numeric_limits<float>::max();
  const double halfway = static_cast<double>(kMax) + std::ldexp(1.0, 103);
  if (std::isfinite(*d) && std::fabs(*d) >= halfway)
    Mismatch(c, v, table, "out of the single-precision range");
  b.resize(4);
  const bool roundsToMax = std::isfinite(*d) && std::fabs(*d) > kMax;
  StoreF32(b.data(), roundsToMax ? (*d < 0 ? -kMax : kMax) : static_cast<float>(*d));
}

void DateTimeBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, bool fast, Bytes& b) {
  std::optional<Timestamp> t;
  if (auto p = std::get_if<Timestamp>(&v))
    t = *p;
  else if (auto q3 = std::get_if<std::string>(&v)) {
    if (Timestamp plain; fast && PlainTimestamp(*q3, plain))
      t = plain;
    else
      t = ParseTimestamp(*q3);
  }
  if (!t || !IsValidDate(t->year, t->month, t->day) || t->hour > 23 || t->minute > 59 || t->second > 59 ||
      t->millisecond > 999)
    Mismatch(c, v, table, "not a date and time (yyyy-mm-dd hh:mm:ss)");
  if (t->year < 100 || t->year > 9999) Mismatch(c, v, table, "Access dates run from the year 100 to 9999");
  b.resize(8);
  StoreF64(b.data(), DateToDouble(*t));
}

void GuidBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, Bytes& b) {
  std::optional<Guid> g;
  if (auto p = std::get_if<Guid>(&v))
    g = *p;
  else if (auto q4 = std::get_if<std::string>(&v))
    g = ParseGuid(*q4);
  if (!g) Mismatch(c, v, table, "not a GUID");
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  b.resize(16);
  for (int i = 0; i < 16; ++i) b[static_cast<std::size_t>(order[i])] = g->bytes[static_cast<std::size_t>(i)];
}

void NumericBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, Bytes& b) {
  std::string text;
  if (auto p = std::get_if<Decimal>(&v))
    text = p->text;
  else if (auto q5 = std::get_if<std::string>(&v))
    text = *q5;
  else if (auto q6 = std::get_if<std::int64_t>(&v))
    text = std::to_string(*q6);
  else if (auto q7 = std::get_if<Currency>(&v))
    text = FormatCurrency(*q7);
  else if (auto q8 = std::get_if<double>(&v))
    text = FormatDouble(*q8);
  else if (auto q9 = std::get_if<bool>(&v))
    text = *q9 ? "-1" : "0";
  if (text.find_first_of("eE") != std::string::npos) {
    // A double in exponent form: write it out with enough fixed digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(c.scale) + 1, std::strtod(text.c_str(), nullptr));
    text = buf;
  }
  if (!EncodeNumeric(text, c.precision, c.scale, b))
    Mismatch(c, v, table,
             ("not a decimal number of at most " + std::to_string(c.precision) + " digits").c_str());
}

void TextBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, bool fast,
               const TextCodec* codec, Bytes& b) {
  std::string formatted;
  const std::string* text = std::get_if<std::string>(&v);
  if (text == nullptr) {
    if (auto t = FormatValueText(v)) formatted = std::move(*t);
    text = &formatted;
  }
  if (codec) {
    // Jet3: the file's code page; the column's length counts bytes.
    std::string stored;
    if (fast && IsAscii(*text))
      stored = *text;
    else if (!codec->FromUtf8(*text, stored))
      Lacking(c, table, *codec, *text);
    if (c.type == col_type::kText && stored.size() > c.length)
      TooLong(c, table, stored.size(), c.length, "characters");
    b.assign(stored.begin(), stored.end());
    return;
  }
  std::size_t units = 0;
  bool valid = true;
  b = fast ? EncodeJet4Text(*text, (c.extFlags & 0x01) != 0, units, valid)
           : general::EncodeJet4Text(*text, (c.extFlags & 0x01) != 0, units, valid);
  if (!valid) Mismatch(c, v, table, "the text is not valid UTF-8");
  if (c.type == col_type::kText && units > c.length / 2u)
    TooLong(c, table, units, c.length / 2u, "characters");
}

void BinaryBytes(const ColumnDef& c, const qv::Value& v, const std::string& table, Bytes& b) {
  if (auto p = std::get_if<Bytes>(&v))
    b = *p;
  else if (auto q10 = std::get_if<std::string>(&v)) {
    if (!FromHex(*q10, b)) Mismatch(c, v, table, "binary values are written as hexadecimal");
  } else if (auto q11 = std::get_if<Guid>(&v)) {
    b.assign(q11->bytes.begin(), q11->bytes.end());
  } else {
    Mismatch(c, v, table, "not a binary value");
  }
  if (c.type == col_type::kBinary && b.size() > c.length) TooLong(c, table, b.size(), c.length, "bytes");
}

// `fast` takes the shortcuts for the common literal forms; both ways give the same bytes.
EncodedValue Encode(const ColumnDef& c, const qv::Value& in, const std::string& table, bool fast,
                    const TextCodec* codec) {
  EncodedValue out;
  // Literal text of a non-text column: the empty text is NULL, as in a statement.
  const qv::Value noValue;
  const qv::Value* given = &in;
  if (auto s = std::get_if<std::string>(&in);
      s && s->empty() && c.type != col_type::kText && c.type != col_type::kMemo)
    given = &noValue;
  const qv::Value& v = *given;
  if (c.type == col_type::kBoolean) {
    out.null = false;
    out.flag = FlagOf(c, v, table, fast);
    return out;
  }
  // "Required" is a column property Access keeps outside the definition (flag 0x02 only says the
  // column may be updated), so NULL is accepted here.
  if (IsNull(v)) return out;
  out.null = false;
  Bytes& b = out.bytes;
  switch (c.type) {
    case col_type::kByte:
      IntegerBytes(c, v, table, fast, 0, 255, 1, b);
      break;
    case col_type::kInt16:
      IntegerBytes(c, v, table, fast, -32768, 32767, 2, b);
      break;
    case col_type::kInt32:
      IntegerBytes(c, v, table, fast, INT32_MIN, INT32_MAX, 4, b);
      break;
    case col_type::kBigInt:
      IntegerBytes(c, v, table, fast, INT64_MIN, INT64_MAX, 8, b);
      break;
    case col_type::kCurrency:
      CurrencyBytes(c, v, table, fast, b);
      break;
    case col_type::kSingle:
      SingleBytes(c, v, table, fast, b);
      break;
    case col_type::kDouble: {
      auto d = AsDouble(v, fast);
      if (!d) Mismatch(c, v, table, "not a number");
      b.resize(8);
      StoreF64(b.data(), *d);
      break;
    }
    case col_type::kDateTime:
      DateTimeBytes(c, v, table, fast, b);
      break;
    case col_type::kGuid:
      GuidBytes(c, v, table, b);
      break;
    case col_type::kNumeric:
      NumericBytes(c, v, table, b);
      break;
    case col_type::kText:
    case col_type::kMemo:
      TextBytes(c, v, table, fast, codec, b);
      break;
    case col_type::kBinary:
    case col_type::kOle:
      BinaryBytes(c, v, table, b);
      break;
    default:
      throw Error(errc::kNotSupported,
                  "Column '" + c.name + "' of table '" + table + "' has a type (" + TypeName(c.type) +
                      ") this version cannot write.",
                  table + "." + c.name);
  }
  return out;
}

}  // namespace

EncodedValue EncodeValue(const ColumnDef& c, const qv::Value& in, const std::string& table,
                         const TextCodec* codec) {
  return Encode(c, in, table, true, codec);
}

std::unique_ptr<TextCodec> Jet3TextCodec(const DatabaseHeader& header) {
  if (!header.layout.jet3) return nullptr;
  return std::make_unique<TextCodec>(TextCodec::CharsetForCodePage(header.codePage ? header.codePage : 1252));
}

namespace general {

EncodedValue EncodeValue(const ColumnDef& c, const qv::Value& in, const std::string& table,
                         const TextCodec* codec) {
  return Encode(c, in, table, false, codec);
}

}  // namespace general

}  // namespace qv::jet
