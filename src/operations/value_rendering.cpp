#include "operations/value_rendering.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "engine/core/double_text.h"
#include "engine/core/value_text.h"

namespace qv::ops {
namespace {

// Appends `text` with apostrophes doubled. Texts are short: one walk, no search calls.
void AppendDoubled(std::string_view text, std::string& out) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\'') continue;
    out.append(text.data() + from, i + 1 - from);
    out += '\'';
    from = i + 1;
  }
  out.append(text.data() + from, text.size() - from);
}

// `text` written at `p` character by character (short texts: no block copy).
char* Put(char* p, std::string_view text) {
  for (char c : text) *p++ = c;
  return p;
}

char* TwoDigits(char* p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
  return p + 2;
}

// FormatTimestamp's text ("yyyy-mm-dd hh:mm:ss" and ".mmm" when there are milliseconds) for the
// values whose fields have their usual widths, written at `p` (room for 23 characters); nullptr
// for the others, which take FormatTimestamp.
char* PutPlainTimestamp(const Timestamp& t, char* p) {
  if (t.year < 0 || t.year > 9999 || t.month > 99 || t.day > 99 || t.hour > 99 || t.minute > 99 ||
      t.second > 99 || t.millisecond > 999)
    return nullptr;
  p = TwoDigits(p, static_cast<unsigned>(t.year) / 100);
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
  return p;
}

// FormatCurrency's text: the whole units, then the fraction without its trailing zeros, written
// at `p` (room for 26 characters).
char* PutCurrency(Currency c, char* p) {
  const std::uint64_t mag =
      c.scaled < 0 ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  if (c.scaled < 0) *p++ = '-';
  p = std::to_chars(p, p + 24, mag / 10000).ptr;
  unsigned frac = static_cast<unsigned>(mag % 10000);
  if (frac != 0) {
    *p++ = '.';
    for (unsigned scale = 1000; frac != 0; scale /= 10) {
      *p++ = static_cast<char>('0' + frac / scale);
      frac %= scale;
    }
  }
  return p;
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
// straight into `out`, the rare ones go through RenderValue. The numbers, dates and flags are put
// together with `after` and appended at once.
bool AppendRenderedValue(const Value& value, std::string& out, std::string_view after) {
  if (const auto* s = std::get_if<std::string>(&value)) {
    if (s->empty()) return false;
    AppendDoubled(*s, out);
    out.append(after);
    return true;
  }
  char buf[96];  // the longest: a double's 24 characters; `after` is short
  char* p = nullptr;
  if (const auto* i = std::get_if<std::int64_t>(&value)) {
    p = std::to_chars(buf, buf + 32, *i).ptr;
  } else if (const auto* d = std::get_if<double>(&value); d && std::isfinite(*d)) {
    p = WriteShortestDouble(buf, *d);
  } else if (const auto* t = std::get_if<Timestamp>(&value)) {
    p = PutPlainTimestamp(*t, buf);
  } else if (const auto* b = std::get_if<bool>(&value)) {
    p = Put(buf, *b ? "true" : "false");
  } else if (const auto* c = std::get_if<Currency>(&value)) {
    p = PutCurrency(*c, buf);
  }
  if (p != nullptr && after.size() <= static_cast<std::size_t>(buf + sizeof buf - p)) {
    p = Put(p, after);
    out.append(buf, p);
    return true;
  }
  if (p != nullptr) {
    out.append(buf, p);
    out.append(after);
    return true;
  }
  const std::optional<std::string> text = RenderValue(value);
  if (!text) return false;
  AppendDoubled(*text, out);
  out.append(after);
  return true;
}

}  // namespace qv::ops
