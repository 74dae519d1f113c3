#include "operations/value_rendering.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "engine/core/long_double.h"
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
  if (t.year < 0 || t.year > 9999 || t.month > 99 || t.day > 99 || t.hour > 99 || t.minute > 99 || t.second > 99 ||
      t.millisecond > 999)
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

// |d| = digits[0, s) * 10^exponent (no trailing zero in the digits, the exponent between -8 - s
// and 14) written as std::to_chars writes a double's shortest text: fixed or exponent form,
// whichever is shorter, fixed on a tie; the exponent form is the digits with a point after the
// first when there are more, "e", the sign and two digits. At `p`, room for 24 characters.
char* PutDecimal(bool negative, const char* digits, int s, int exponent, char* p) {
  const int exponent_length = s + (s > 1 ? 1 : 0) + 4;
  const int before_point = s + exponent;  // digits before the point in fixed form
  const int fixed_length = exponent >= 0 ? s + exponent : before_point > 0 ? s + 1 : 2 - exponent;
  // Character by character (the texts are short: no block copies).
  if (negative) *p++ = '-';
  if (fixed_length > exponent_length) {
    const int e = before_point - 1;
    *p++ = digits[0];
    if (s > 1) {
      *p++ = '.';
      for (int i = 1; i < s; ++i) *p++ = digits[i];
    }
    *p++ = 'e';
    *p++ = e < 0 ? '-' : '+';
    return TwoDigits(p, static_cast<unsigned>(e < 0 ? -e : e));
  }
  if (exponent >= 0) {
    for (int i = 0; i < s; ++i) *p++ = digits[i];
    for (int i = 0; i < exponent; ++i) *p++ = '0';
  } else if (before_point > 0) {
    for (int i = 0; i < before_point; ++i) *p++ = digits[i];
    *p++ = '.';
    for (int i = before_point; i < s; ++i) *p++ = digits[i];
  } else {
    *p++ = '0';
    *p++ = '.';
    for (int i = 0; i < -before_point; ++i) *p++ = '0';
    for (int i = 0; i < s; ++i) *p++ = digits[i];
  }
  return p;
}

// The decade of 1e-8 <= a < 1e15 (floor of its logarithm to base ten), as the double powers of
// ten tell it: one off at most, right at a decade's edge, where the bounds on the digits catch it.
int Decade(double a) {
  // kDecades[i] is 10^(i - 7): |d| < kDecades[i] puts d in the decade 10^(i - 8) at most.
  static constexpr double kDecades[] = {1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1,  1e2,  1e3,  1e4,
                                        1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  return static_cast<int>(std::upper_bound(std::begin(kDecades), std::end(kDecades), a) - kDecades) - 8;
}

// FormatDouble's text (std::to_chars, the shortest text that reads back to the same double, fixed
// or exponent form whichever is shorter, fixed on a tie) for the doubles of at most 15 significant
// digits between 1e-8 and 1e15, in the form std::to_chars chooses (PutDecimal), written at `p`
// (room for 24 characters); nullptr for the others, which take PutFullDouble or std::to_chars.
//
// Why this is the same text: m = round(|d| * 10^K) with 15 digits (K = 14 - the decade of |d|)
// is checked by one division, m / 10^K == |d|, where both operands are exact (m < 2^53, K <= 22),
// so the division is correctly rounded, as reading the decimal text m * 10^-K back is: that text
// reads back to d. Decimals of at most 15 significant digits lie at least 10^-15 of d apart, the
// doubles reading back to d fewer than 2^-52 of d, so no other decimal of at most 15 digits reads
// back to d: m without its trailing zeros holds the shortest digits. (When the check fails the
// shortest text may still have 15 digits or fewer; std::to_chars finds it.)
char* PutShortDouble(double d, char* const buf) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double a = std::fabs(d);
  if (!(a >= 1e-8 && a < 1e15)) return nullptr;  // also 0, NaN and the infinities
  const int decade = Decade(a);
  const int k = 14 - decade;  // 0..22
  const double scaled = a * kPow10[k];
  auto m = static_cast<std::uint64_t>(scaled + 0.5);
  if (static_cast<double>(m) / kPow10[k] != a) return nullptr;
  // |d| = digits * 10^-k; without the trailing zeros, digits[0, s) * 10^exponent.
  char digits[24];
  const int n = static_cast<int>(std::to_chars(digits, digits + sizeof digits, m).ptr - digits);
  int s = n;
  while (s > 1 && digits[s - 1] == '0') --s;
  if (s > 15) return nullptr;
  return PutDecimal(d < 0, digits, s, n - s - k, buf);
}

// The same text for the doubles in that range that need 16 or 17 digits (and those of 15 the
// check above misses), where long double has a 64-bit significand (x87) and runs with all of it;
// nullptr for the others.
//
// For n = 15, 16, 17: m, the nearest n-digit whole number to |d| * 10^k, is |d| times an exact
// power of ten rounded to 64 bits (an error of at most 2^-8, as the product is below 2^57), then
// to a whole number (a fraction within 2^-7 of one half, where the rounding could go either way,
// is left to std::to_chars). m * 10^-k reads back to d when it lies nearer to |d| than half a
// unit in the last place of |d|, and not when farther (the fraction tells the distance to 2^-8);
// within 2^-7 of that bound it is decided as the value encoder reads numbers: one division
// rounded to 64 bits, then to a double, exact unless the quotient lies on a midpoint between
// doubles (left to std::to_chars too). The doubles reading back to d
// lie within half a unit of d on either side (not so for a power of two, left to std::to_chars),
// so when the nearest n-digit number does not read back, none does: the first n whose nearest
// number reads back is the shortest length, and the nearest number of that length is the one
// std::to_chars writes. For n = 15 it is the only one (as above), so its trailing zeros go.
char* PutFullDouble(double d, char* const buf) {
  if constexpr (std::numeric_limits<long double>::digits != 64 || std::numeric_limits<long double>::radix != 2) {
    return nullptr;
  } else {
    static constexpr long double kExact[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
                                             1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L,
                                             1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
    static constexpr std::uint64_t kWhole[] = {1ull,
                                               10ull,
                                               100ull,
                                               1000ull,
                                               10000ull,
                                               100000ull,
                                               1000000ull,
                                               10000000ull,
                                               100000000ull,
                                               1000000000ull,
                                               10000000000ull,
                                               100000000000ull,
                                               1000000000000ull,
                                               10000000000000ull,
                                               100000000000000ull,
                                               1000000000000000ull,
                                               10000000000000000ull,
                                               100000000000000000ull};
    const double a = std::fabs(d);
    if (!(a >= 1e-8 && a < 1e15)) return nullptr;  // also 0, NaN and the infinities
    if (!FullLongDouble()) return nullptr;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &a, sizeof bits);
    if ((bits & ((std::uint64_t{1} << 52) - 1)) == 0) return nullptr;  // a power of two
    // Half a unit in the last place of |d|: 2^(E - 53) for |d| in [2^E, 2^(E + 1)).
    const std::uint64_t halfBits = ((bits >> 52) - 53) << 52;
    double halfUnitDouble = 0;
    std::memcpy(&halfUnitDouble, &halfBits, sizeof halfUnitDouble);
    const long double halfUnit = halfUnitDouble;
    const int decade = Decade(a);
    for (int n = 15; n <= 17; ++n) {
      const int k = n - 1 - decade;  // 0..24
      if (k < 0 || k > 27) return nullptr;
      const long double product = static_cast<long double>(a) * kExact[k];
      // Rounded to a whole number by adding 2^63 (the sum's significand is 2^63 + the nearest
      // whole number, as the product is below 2^57), without a conversion to an integer type,
      // whose truncation would switch the x87 rounding mode twice.
      const long double whole = product + 0x1p63L;
      std::uint64_t wholeBits = 0;
      std::memcpy(&wholeBits, &whole, sizeof wholeBits);
      const std::uint64_t m = wholeBits - (std::uint64_t{1} << 63);
      const long double fraction = product - (whole - 0x1p63L);  // exact, within one half
      if (fraction > 0.5L - 0x1p-7L || fraction < 0x1p-7L - 0.5L) return nullptr;
      if (m <= kWhole[n - 1] || m >= kWhole[n]) return nullptr;  // the decade misjudged at its edge
      // Reads back when nearer to |d| than half a unit of |d| (in units of the last digit: the
      // power of two times 10^k, exact), not when farther; within 2^-7 of that, decided exactly.
      const long double distance = fraction < 0 ? -fraction : fraction;
      const long double half = halfUnit * kExact[k];
      if (distance > half + 0x1p-7L) continue;
      if (!(distance < half - 0x1p-7L)) {
        const long double back = static_cast<long double>(m) / kExact[k];
        std::uint64_t backBits = 0;  // the x87 format keeps the 64-bit significand in its first 8 bytes
        std::memcpy(&backBits, &back, sizeof backBits);
        if ((backBits & 0x7ff) == 0x400) return nullptr;
        if (static_cast<double>(back) != a) continue;
      }
      char digits[24];
      const int length = static_cast<int>(std::to_chars(digits, digits + sizeof digits, m).ptr - digits);
      int s = length;
      while (s > 1 && digits[s - 1] == '0') --s;
      if (n > 15 && s < n) return nullptr;  // cannot be: no shorter number reads back
      return PutDecimal(d < 0, digits, s, length - s - k, buf);
    }
    return nullptr;
  }
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
    p = PutShortDouble(*d, buf);
    if (p == nullptr) p = PutFullDouble(*d, buf);
    if (p == nullptr) p = std::to_chars(buf, buf + 32, *d).ptr;
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
