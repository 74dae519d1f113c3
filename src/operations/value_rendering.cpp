#include "operations/value_rendering.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/core/value_text.h"

namespace qv::ops {
namespace {

// Appends `text` with apostrophes doubled.
void AppendDoubled(std::string_view text, std::string& out) {
  for (std::size_t from = 0;;) {
    const std::size_t quote = text.find('\'', from);
    if (quote == std::string_view::npos) {
      out.append(text.substr(from));
      return;
    }
    out.append(text.substr(from, quote + 1 - from));
    out += '\'';
    from = quote + 1;
  }
}

char* TwoDigits(char* p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
  return p + 2;
}

// FormatTimestamp's text ("yyyy-mm-dd hh:mm:ss" and ".mmm" when there are milliseconds) for the
// values whose fields have their usual widths; false for the others, which take FormatTimestamp.
bool AppendPlainTimestamp(const Timestamp& t, std::string& out) {
  if (t.year < 0 || t.year > 9999 || t.month > 99 || t.day > 99 || t.hour > 99 || t.minute > 99 || t.second > 99 ||
      t.millisecond > 999)
    return false;
  char buf[24];
  char* p = TwoDigits(buf, static_cast<unsigned>(t.year) / 100);
  p = TwoDigits(p, static_cast<unsigned>(t.year) % 100);
  *p++ = '-';
  p = TwoDigits(p, t.month);
  *p++ = '-';
  p = TwoDigits(p, t.day);
  *p++ = ' ';
  p = TwoDigits(p, t.hour);
  *p++ = ':';
  p = TwoDigits(p, t.minute);
  *p++ = ':';
  p = TwoDigits(p, t.second);
  if (t.millisecond != 0) {
    *p++ = '.';
    *p++ = static_cast<char>('0' + t.millisecond / 100);
    p = TwoDigits(p, t.millisecond % 100u);
  }
  out.append(buf, p);
  return true;
}

// FormatCurrency's text: the whole units, then the fraction without its trailing zeros.
void AppendCurrency(Currency c, std::string& out) {
  const std::uint64_t mag =
      c.scaled < 0 ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  char buf[32];
  char* p = buf;
  if (c.scaled < 0) *p++ = '-';
  p = std::to_chars(p, buf + sizeof buf, mag / 10000).ptr;
  unsigned frac = static_cast<unsigned>(mag % 10000);
  if (frac != 0) {
    char digits[4] = {static_cast<char>('0' + frac / 1000), static_cast<char>('0' + frac / 100 % 10),
                      static_cast<char>('0' + frac / 10 % 10), static_cast<char>('0' + frac % 10)};
    int n = 4;
    while (digits[n - 1] == '0') --n;
    *p++ = '.';
    std::memcpy(p, digits, static_cast<std::size_t>(n));
    p += n;
  }
  out.append(buf, p);
}

}  // namespace

const Value& ReplaceNull(const Value& value, const Value& replacement) {
  return IsNull(value) ? replacement : value;
}

std::optional<std::string> RenderValue(const Value& value) {
  static const Value kEmptyText{std::string()};
  std::optional<std::string> text = FormatValueText(ReplaceNull(value, kEmptyText));
  if (!text || text->empty()) return std::nullopt;
  return text;
}

// Each kind gives exactly RenderValue's text (FormatValueText); the common kinds are written
// straight into `out`, the rare ones go through RenderValue.
bool AppendRenderedValue(const Value& value, std::string& out) {
  if (const auto* s = std::get_if<std::string>(&value)) {
    if (s->empty()) return false;
    AppendDoubled(*s, out);
    return true;
  }
  if (const auto* i = std::get_if<std::int64_t>(&value)) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, *i).ptr);
    return true;
  }
  if (const auto* d = std::get_if<double>(&value); d && std::isfinite(*d)) {
    char buf[64];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, *d).ptr);
    return true;
  }
  if (const auto* t = std::get_if<Timestamp>(&value); t && AppendPlainTimestamp(*t, out)) return true;
  if (const auto* b = std::get_if<bool>(&value)) {
    out += *b ? "true" : "false";
    return true;
  }
  if (const auto* c = std::get_if<Currency>(&value)) {
    AppendCurrency(*c, out);
    return true;
  }
  const std::optional<std::string> text = RenderValue(value);
  if (!text) return false;
  AppendDoubled(*text, out);
  return true;
}

}  // namespace qv::ops
