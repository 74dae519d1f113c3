#include "engine/core/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/core/text_codec.h"

namespace qv {
namespace {

// Currency parsing accumulates up to 19 digits plus four decimals: a 128-bit integer keeps it
// exact without overflow checks on every digit.
__extension__ typedef unsigned __int128 Wide;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Reads exactly `width` decimal digits at `pos`.
bool Digits(std::string_view s, std::size_t pos, std::size_t width, unsigned& out) {
  if (pos + width > s.size()) return false;
  out = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + static_cast<unsigned>(s[i] - '0');
  }
  return true;
}

// "hh:mm:ss[.fff]" starting at pos and running to the end of s.
bool ParseTimePart(std::string_view s, std::size_t pos, Timestamp& t) {
  unsigned h, m, sec;
  if (!Digits(s, pos, 2, h) || s.size() < pos + 8 || s[pos + 2] != ':' || !Digits(s, pos + 3, 2, m) ||
      s[pos + 5] != ':' || !Digits(s, pos + 6, 2, sec))
    return false;
  if (h > 23 || m > 59 || sec > 59) return false;
  unsigned ms = 0;
  std::size_t end = pos + 8;
  if (end < s.size()) {
    if (s[end] != '.') return false;
    std::size_t digits = s.size() - end - 1;
    if (digits < 1 || digits > 3 || !Digits(s, end + 1, digits, ms)) return false;
    for (std::size_t i = digits; i < 3; ++i) ms *= 10;
  }
  t.hour = static_cast<std::uint8_t>(h);
  t.minute = static_cast<std::uint8_t>(m);
  t.second = static_cast<std::uint8_t>(sec);
  t.millisecond = static_cast<std::uint16_t>(ms);
  return true;
}

}  // namespace

std::string FormatDouble(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

std::string FormatCurrency(Currency c) {
  std::uint64_t mag =
      c.scaled < 0 ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  std::string out = c.scaled < 0 ? "-" : "";
  out += std::to_string(mag / 10000);
  unsigned frac = static_cast<unsigned>(mag % 10000);
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, ".%04u", frac);
    std::string f(buf);
    while (f.back() == '0') f.pop_back();
    out += f;
  }
  return out;
}

std::string FormatTimestamp(const Timestamp& t) {
  char buf[64];
  if (t.year < 0)
    std::snprintf(buf, sizeof buf, "-%04d-%02u-%02u %02u:%02u:%02u", -t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
  else
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
  std::string out(buf);
  if (t.tick != 0) {
    // Seven fraction digits, the last zeros left out: the full precision of the value.
    std::snprintf(buf, sizeof buf, ".%03u%04u", t.millisecond, t.tick);
    std::string fraction(buf);
    while (fraction.back() == '0') fraction.pop_back();
    out += fraction;
  } else if (t.millisecond != 0) {
    std::snprintf(buf, sizeof buf, ".%03u", t.millisecond);
    out += buf;
  }
  return out;
}

std::string FormatGuid(const Guid& g) {
  char buf[40];
  const auto& b = g.bytes;
  std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return buf;
}

std::optional<std::string> FormatValueText(const Value& value) {
  struct Visitor {
    std::optional<std::string> operator()(std::monostate) const { return std::nullopt; }
    std::optional<std::string> operator()(bool b) const { return std::string(b ? "true" : "false"); }
    std::optional<std::string> operator()(std::int64_t i) const { return std::to_string(i); }
    std::optional<std::string> operator()(double d) const { return FormatDouble(d); }
    std::optional<std::string> operator()(Currency c) const { return FormatCurrency(c); }
    std::optional<std::string> operator()(const Decimal& d) const { return d.text; }
    std::optional<std::string> operator()(const Timestamp& t) const { return FormatTimestamp(t); }
    std::optional<std::string> operator()(const std::string& s) const { return s; }
    std::optional<std::string> operator()(const Bytes& b) const { return ToHex(b); }
    std::optional<std::string> operator()(const Guid& g) const { return FormatGuid(g); }
  };
  return std::visit(Visitor{}, value);
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

std::optional<double> ParseDouble(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text == "NaN") return std::nan("");
  if (text == "Infinity") return HUGE_VAL;
  if (text == "-Infinity") return -HUGE_VAL;
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

std::optional<Currency> ParseCurrency(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view frac = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (whole.empty() && frac.empty()) return std::nullopt;
  if (frac.size() > 4) return std::nullopt;  // more than four decimals would be rounded: refuse
  Wide mag = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    mag = mag * 10 + static_cast<unsigned>(c - '0');
    if (mag > (static_cast<Wide>(1) << 64)) return std::nullopt;
  }
  unsigned fracValue = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    unsigned digit = 0;
    if (i < frac.size()) {
      if (frac[i] < '0' || frac[i] > '9') return std::nullopt;
      digit = static_cast<unsigned>(frac[i] - '0');
    }
    fracValue = fracValue * 10 + digit;
  }
  mag = mag * 10000 + fracValue;
  const Wide limit = negative ? (static_cast<Wide>(1) << 63) : (static_cast<Wide>(1) << 63) - 1;
  if (mag > limit) return std::nullopt;
  std::int64_t scaled = negative ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(mag))
                                 : static_cast<std::int64_t>(mag);
  return Currency{scaled};
}

std::optional<Timestamp> ParseTimestamp(std::string_view text) {
  text = Trim(text);
  Timestamp t;
  if (text.size() >= 8 && text[2] == ':') {
    if (!ParseTimePart(text, 0, t)) return std::nullopt;
    return t;
  }
  bool negative = !text.empty() && text.front() == '-';
  std::string_view s = negative ? text.substr(1) : text;
  unsigned y, m, d;
  if (!Digits(s, 0, 4, y) || s.size() < 10 || s[4] != '-' || !Digits(s, 5, 2, m) || s[7] != '-' ||
      !Digits(s, 8, 2, d))
    return std::nullopt;
  std::int64_t year = negative ? -static_cast<std::int64_t>(y) : y;
  if (!IsValidDate(year, m, d)) return std::nullopt;
  t.year = static_cast<std::int32_t>(year);
  t.month = static_cast<std::uint8_t>(m);
  t.day = static_cast<std::uint8_t>(d);
  t.hour = t.minute = t.second = 0;
  t.millisecond = 0;
  if (s.size() == 10) return t;
  if (s[10] != ' ' && s[10] != 'T') return std::nullopt;
  if (!ParseTimePart(s, 11, t)) return std::nullopt;
  return t;
}

std::optional<Guid> ParseGuid(std::string_view text) {
  text = Trim(text);
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  Guid g;
  std::size_t bi = 0;
  for (std::size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    Bytes one;
    if (!FromHex(text.substr(i, 2), one)) return std::nullopt;
    g.bytes[bi++] = one[0];
    i += 2;
  }
  return g;
}

std::optional<bool> ParseBoolean(std::string_view text) {
  text = Trim(text);
  if (EqualIgnoringAsciiCase(text, "true") || EqualIgnoringAsciiCase(text, "yes") ||
      EqualIgnoringAsciiCase(text, "on") || text == "-1" || text == "1")
    return true;
  if (EqualIgnoringAsciiCase(text, "false") || EqualIgnoringAsciiCase(text, "no") ||
      EqualIgnoringAsciiCase(text, "off") || text == "0")
    return false;
  return std::nullopt;
}

}  // namespace qv
