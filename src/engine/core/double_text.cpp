#include "engine/core/double_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "engine/core/value_text.h"

namespace qv {
namespace {

constexpr double kPow10[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                             1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

// Below this, a scaled value |d| * 10^k has at most one integer inside the (scaled) rounding
// interval of d: that interval is at most |d| * 2^-52 wide, so scaled it stays below
// 1e15 * 2^-52 < 0.25.
constexpr double kScaledLimit = 1e15;

// The decimal digits of v at the end of a buffer ending at `end`; returns where they start.
char* UnsignedDigits(char* end, std::uint64_t v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  return end;
}

// Lays out the decimal m * 10^-k (m > 0; m not a multiple of 10 unless k is 0) as to_chars
// does: scientific only when that is strictly shorter than the fixed form.
char* Layout(char* out, bool negative, std::uint64_t m, int k) {
  char buf[24];
  char* end = buf + sizeof buf;
  char* digits = UnsignedDigits(end, m);
  const int n = static_cast<int>(end - digits);
  int significant = n;
  if (k == 0)
    while (significant > 1 && digits[significant - 1] == '0') --significant;
  const int exponent = n - 1 - k;  // of the first digit
  const int absExp = exponent < 0 ? -exponent : exponent;
  const int sciLength = significant + (significant > 1 ? 1 : 0) + 2 + (absExp >= 100 ? 3 : 2);
  const int fixedLength = exponent >= 0 ? (k == 0 ? n : n + 1) : k + 2;
  if (negative) *out++ = '-';
  if (fixedLength <= sciLength) {
    if (exponent >= 0) {
      std::memcpy(out, digits, static_cast<std::size_t>(n - k));
      out += n - k;
      if (k > 0) {
        *out++ = '.';
        std::memcpy(out, digits + (n - k), static_cast<std::size_t>(k));
        out += k;
      }
    } else {
      *out++ = '0';
      *out++ = '.';
      std::memset(out, '0', static_cast<std::size_t>(k - n));
      out += k - n;
      std::memcpy(out, digits, static_cast<std::size_t>(n));
      out += n;
    }
    return out;
  }
  *out++ = digits[0];
  if (significant > 1) {
    *out++ = '.';
    std::memcpy(out, digits + 1, static_cast<std::size_t>(significant - 1));
    out += significant - 1;
  }
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  if (absExp >= 100) *out++ = static_cast<char>('0' + absExp / 100);
  *out++ = static_cast<char>('0' + absExp / 10 % 10);
  *out++ = static_cast<char>('0' + absExp % 10);
  return out;
}

}  // namespace

char* WriteShortestDouble(char* first, double d) {
  // A decimal with k fraction digits reads back to d when m = round(|d| * 10^k) divided by 10^k
  // (one correctly rounded division, just as reading "m e-k" rounds) gives d again. The smallest
  // such k gives the fewest significant digits, and that one m is the digit string the
  // shortest-form algorithm picks. Values with many digits (thirds, results of arithmetic) fail
  // the cheap test below at every k and go to std::to_chars.
  const double a = std::fabs(d);
  if (a >= 1e-5 && a < kScaledLimit) {
    for (int k = 0; k < static_cast<int>(std::size(kPow10)); ++k) {
      const double x = a * kPow10[k];
      if (x >= kScaledLimit) break;
      // The nearest integer (x < 2^52: adding and removing 2^52 rounds to an integer).
      const double r = (x + 0x1p52) - 0x1p52;
      // The one candidate lies within x * 2^-52 of x (the product's rounding plus the interval);
      // an integer farther away cannot read back to d.
      if (r == 0 || std::fabs(x - r) > x * 0x1p-51) continue;
      if (r / kPow10[k] != a) continue;
      return Layout(first, std::signbit(d), static_cast<std::uint64_t>(r), k);
    }
  }
  return std::to_chars(first, first + kShortestDoubleChars, d).ptr;
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
