#include "engine/core/double_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "engine/core/value_text.h"

namespace qv {
namespace {

char* TwoDigits(char* p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
  return p + 2;
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
  static constexpr double kDecades[] = {1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3, 1e4,
                                        1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  return static_cast<int>(std::upper_bound(std::begin(kDecades), std::end(kDecades), a) - kDecades) - 8;
}

// FormatDouble's text (std::to_chars, the shortest text that reads back to the same double, fixed
// or exponent form whichever is shorter, fixed on a tie) for the doubles of at most 15 significant
// digits between 1e-8 and 1e15, in the form std::to_chars chooses (PutDecimal), written at `p`
// (room for 24 characters); nullptr for the others, which take std::to_chars.
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

}  // namespace

char* WriteShortestDouble(char* first, double d) {
  // The doubles of more digits (quotients, results of arithmetic) go to std::to_chars, whose
  // shortest-digits search beats any check of ours that reads candidates back.
  char* p = PutShortDouble(d, first);
  return p != nullptr ? p : std::to_chars(first, first + kShortestDoubleChars, d).ptr;
}

void AppendDoubleText(std::string& out, double d) {
  if (!std::isfinite(d)) {
    out += FormatDouble(d);
    return;
  }
  char buf[kShortestDoubleChars];
  out.append(buf, WriteShortestDouble(buf, d));
}

}  // namespace qv
