// The value encoder's shortcuts for the common literal forms (plain whole and decimal numbers,
// ASCII text) against its general conversions: the same bytes, flags and errors for every value
// and column.
#include "engine/jet/write/value_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/format.h"

namespace qv::jet {
namespace {

ColumnDef Col(std::uint8_t type, std::uint16_t length = 0, std::uint8_t extFlags = 0) {
  ColumnDef c;
  c.name = "F";
  c.type = type;
  c.length = length;
  c.extFlags = extFlags;
  c.precision = 18;
  c.scale = 4;
  return c;
}

struct Outcome {
  bool threw = false;
  int number = 0;
  std::string message;
  EncodedValue value;
};

template <typename F>
Outcome Capture(F&& f) {
  Outcome o;
  try {
    o.value = f();
  } catch (const Error& e) {
    o.threw = true;
    o.number = e.number();
    o.message = e.what();
  }
  return o;
}

std::vector<std::string> Literals() {
  std::vector<std::string> v = {"",
                                "0",
                                "-0",
                                "+0",
                                "1",
                                "-1",
                                "+5",
                                " 7",
                                "7 ",
                                "\t7",
                                "007",
                                "-007",
                                "255",
                                "256",
                                "-255",
                                "32767",
                                "32768",
                                "-32768",
                                "-32769",
                                "2147483647",
                                "2147483648",
                                "-2147483648",
                                "-2147483649",
                                "99999999999999999",
                                "999999999999999999",
                                "-999999999999999999",
                                "1000000000000000000",
                                "9223372036854775807",
                                "-9223372036854775808",
                                "9223372036854775808",
                                "-9223372036854775809",
                                "1.5",
                                "2.5",
                                "-2.5",
                                "0.5",
                                "-0.5",
                                "1e3",
                                "-1E2",
                                "1.",
                                ".5",
                                "12a",
                                "a12",
                                "-",
                                "--1",
                                "1-",
                                "+",
                                "1 2",
                                "0x10",
                                "NaN",
                                "Infinity",
                                "-Infinity",
                                "true",
                                "No",
                                "yes",
                                "on",
                                "OFF",
                                "2024-02-29 13:45:59",
                                "1899-12-30",
                                "12:00:00",
                                "922337203685477.5807",
                                std::string("1\0", 2),
                                std::string("\0", 1),
                                "\x01",
                                "\x7f",
                                "\x80",
                                "a\x7f"
                                "b",
                                "caf\xc3\xa9",
                                "\xff\xfe",
                                "\xc3",
                                "\xe2\x82\xac 5",
                                "O'Brien",
                                "x",
                                std::string(255, 'a'),
                                std::string(256, 'a'),
                                std::string(300, 'z') + "\xc3\xa9"};
  // Whole numbers around every power of ten and of two, both signs.
  std::int64_t p = 1;
  for (int i = 0; i < 19; ++i, p *= 10)
    for (std::int64_t d : {-1, 0, 1})
      for (std::int64_t s : {1, -1}) v.push_back(std::to_string(s * (p + d)));
  for (int i = 0; i < 63; ++i)
    for (std::int64_t d : {-1, 0, 1})
      for (std::int64_t s : {1, -1}) v.push_back(std::to_string(s * ((std::int64_t{1} << i) + d)));
  // Pseudo-random whole numbers and ASCII texts.
  std::uint64_t seed = 88172645463325252ull;
  auto next = [&] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  for (int i = 0; i < 2000; ++i) {
    const int digits = 1 + static_cast<int>(next() % 19);
    std::string s = next() % 2 ? "-" : "";
    for (int k = 0; k < digits; ++k) s += static_cast<char>('0' + next() % 10);
    v.push_back(s);
    std::string t;
    const int len = static_cast<int>(next() % 40);
    for (int k = 0; k < len; ++k) t += static_cast<char>(next() % 0x81);  // 0x00..0x80
    v.push_back(t);
    // Decimal numbers with up to 17 digits on either side of the point.
    std::string d = next() % 2 ? "-" : "";
    const int whole = 1 + static_cast<int>(next() % 9), frac = 1 + static_cast<int>(next() % 9);
    for (int k = 0; k < whole; ++k) d += static_cast<char>('0' + next() % 10);
    d += '.';
    for (int k = 0; k < frac; ++k) d += static_cast<char>('0' + next() % 10);
    v.push_back(d);
  }
  // Doubles written in full (16 and 17 digits), as the transfer writes them, and digit runs too
  // long for a double.
  for (int i = 0; i < 1000; ++i) {
    std::uint64_t bits = next();
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    char buf[64];
    v.emplace_back(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
    v.emplace_back(buf,
                   std::to_chars(buf, buf + sizeof buf, 1.0 / static_cast<double>(1 + next() % 1000000)).ptr);
    v.emplace_back(buf,
                   std::to_chars(buf, buf + sizeof buf, static_cast<double>(next() % 1000000000) / 7.0).ptr);
  }
  // Up to 19 significant digits with exponents around the exact powers of ten (10^27 and less),
  // and the midpoints between neighbouring doubles, which must round to even as the general
  // parser rounds them: odd multiples of 2^(k-1) with 2^52 < n / 2^k < 2^53 written whole, with a
  // point moved in, or with an exponent.
  for (int i = 0; i < 3000; ++i) {
    const int digits = 1 + static_cast<int>(next() % 20);
    std::string m = next() % 2 ? "-" : "";
    for (int k = 0; k < digits; ++k) m += static_cast<char>('0' + next() % 10);
    const int e = static_cast<int>(next() % 70) - 35;
    v.push_back(m + "e" + std::to_string(e));
    if (digits > 1)
      v.push_back(m.substr(0, m.size() - digits / 2) + "." + m.substr(m.size() - digits / 2) + "E" +
                  (e >= 0 ? "+" : "") + std::to_string(e));
    const int shift = 1 + static_cast<int>(next() % 10);  // the doubles' spacing 2^shift
    const std::uint64_t n = (std::uint64_t{1} << (52 + shift)) +
                            ((next() % (std::uint64_t{1} << 52)) << shift) +
                            (std::uint64_t{1} << (shift - 1));
    const std::string whole = std::to_string(n);
    v.push_back(whole);
    v.push_back(whole + "e0");
    v.push_back(whole.substr(0, 3) + "." + whole.substr(3) + "e" + std::to_string(whole.size() - 3));
    v.push_back("-" + whole.substr(0, 10) + "." + whole.substr(10));
    v.push_back("0." + whole + "e" + std::to_string(whole.size()));
    v.push_back(std::to_string(n + 1 - 2 * (next() % 2)));  // next to a midpoint
  }
  for (const char* e : {"9007199254740993",
                        "9007199254740995",
                        "9007199254740993e0",
                        "9.007199254740993e15",
                        "900719925474099.3e1",
                        "4503599627370497.5",
                        "4503599627370496.5",
                        "18014398509481986",
                        "18014398509481990",
                        "1e27",
                        "1e-27",
                        "1e28",
                        "1e-28",
                        "9999999999999999999e27",
                        "9999999999999999999e-27",
                        "99999999999999999999e-27",
                        "1e0000",
                        "1e00001",
                        "1e-0001",
                        "0.0000000000000000000000000001",
                        "00000000000000000001.5",
                        "-0e5",
                        "0.000e-3"})
    v.push_back(e);
  for (const char* e : {"1e5",
                        "1E5",
                        "1e+5",
                        "1e-5",
                        "-1.5e-07",
                        "1.e5",
                        "1.5e",
                        "1.5e+",
                        "1.5e-",
                        "e5",
                        "-e5",
                        "1e5.5",
                        "1e5e5",
                        "1e-400",
                        "1e400",
                        "-1e309",
                        "2.2250738585072014e-308",
                        "4.9e-324",
                        "1.7976931348623157e308",
                        "1.7976931348623159e308",
                        "9.99990000099999e-06",
                        "1e 5",
                        "1e5 ",
                        "0e0",
                        "-0e-0",
                        "00001e0001",
                        "1.0000000000000000000001e-5"})
    v.push_back(e);
  v.push_back(std::string(400, '9'));
  v.push_back("0." + std::string(400, '0') + "1");
  v.push_back("-" + std::string(310, '1') + ".5");
  // Dates and times: the plain form at the edges of every field, and its near misses.
  for (const char* t :
       {"2024-02-29 00:00:00",  "2023-02-29 00:00:00",   "2024-02-30 12:00:00",  "2024-13-01 12:00:00",
        "2024-00-10 12:00:00",  "2024-01-00 12:00:00",   "2024-12-31 23:59:59",  "2024-12-31 24:00:00",
        "2024-12-31 23:60:00",  "2024-12-31 23:59:60",   "0000-01-01 00:00:00",  "0099-12-31 23:59:59",
        "0100-01-01 00:00:00",  "9999-12-31 23:59:59",   "1900-02-29 10:00:00",  "2000-02-29 10:00:00",
        "2024-01-01T10:00:00",  "2024-01-01 10:00:00.5", "2024-01-01 10:00:0a",  "2024-1-01 10:00:00",
        "2024/01/01 10:00:00",  "2024-01-01 10-00-00",   " 2024-01-01 10:00:00", "2024-01-01 10:00:00 ",
        "-2024-01-01 10:00:00", "+024-01-01 10:00:00",   "2024-01-01  10:00:0",  "2024-01-01 1:00:000"})
    v.push_back(t);
  for (int i = 0; i < 1000; ++i) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", static_cast<unsigned>(next() % 10000),
                  static_cast<unsigned>(next() % 14), static_cast<unsigned>(next() % 33),
                  static_cast<unsigned>(next() % 26), static_cast<unsigned>(next() % 62),
                  static_cast<unsigned>(next() % 62));
    v.push_back(buf);
  }
  for (const char* b : {"true", "false", "True", "FALSE", "true ", " false", "truex", "fals", "-1", "0"})
    v.push_back(b);
  for (const char* d : {"0.1",
                        "0.2",
                        "0.3",
                        "-0.0",
                        "0.0",
                        "1.0",
                        "9007199254740.993",
                        "999999999999999",
                        "99999999999999.9",
                        "0.000000000000001",
                        "0.0000000000000001",
                        "1234567890123456",
                        "3.14159265358979",
                        "2.718281828459045",
                        "1.7976931348623157",
                        "5e-324",
                        "1e308",
                        "4.9406564584124654",
                        "123456789012345.6",
                        "12345678901234.56",
                        "00000000000000.5"})
    v.push_back(d);
  return v;
}

TEST(ValueEncoderShortcuts, SameBytesAndErrorsAsTheGeneralConversion) {
  const std::vector<ColumnDef> columns = {
      Col(col_type::kBoolean),     Col(col_type::kByte),         Col(col_type::kInt16),
      Col(col_type::kInt32),       Col(col_type::kBigInt),       Col(col_type::kCurrency),
      Col(col_type::kSingle),      Col(col_type::kDouble),       Col(col_type::kDateTime),
      Col(col_type::kNumeric),     Col(col_type::kText, 510, 1), Col(col_type::kText, 510, 0),
      Col(col_type::kText, 20, 1), Col(col_type::kMemo, 0, 1),   Col(col_type::kMemo, 0, 0)};
  int compared = 0, encoded = 0;
  for (const auto& literal : Literals()) {
    const qv::Value value = literal;
    for (const auto& c : columns) {
      const Outcome fast = Capture([&] { return EncodeValue(c, value, "T"); });
      const Outcome slow = Capture([&] { return general::EncodeValue(c, value, "T"); });
      SCOPED_TRACE("type " + std::to_string(c.type) + ", value '" + literal + "'");
      ASSERT_EQ(fast.threw, slow.threw);
      ASSERT_EQ(fast.number, slow.number);
      ASSERT_EQ(fast.message, slow.message);
      ASSERT_EQ(fast.value.null, slow.value.null);
      ASSERT_EQ(fast.value.flag, slow.value.flag);
      ASSERT_EQ(fast.value.bytes, slow.value.bytes);
      ++compared;
      encoded += fast.threw ? 0 : 1;
    }
  }
  EXPECT_GT(compared, 60000);
  EXPECT_GT(encoded, 20000);  // most comparisons are of values that convert, not of two errors
}

TEST(ValueEncoderShortcuts, KnownBytes) {
  std::size_t units = 0;
  bool valid = false;
  EXPECT_EQ(EncodeJet4Text("ab", true, units, valid), (Bytes{0xff, 0xfe, 'a', 'b'}));
  EXPECT_TRUE(valid);
  EXPECT_EQ(units, 2u);
  EXPECT_EQ(EncodeJet4Text("ab", false, units, valid), (Bytes{'a', 0, 'b', 0}));
  EXPECT_EQ(EncodeJet4Text(std::string("a\0", 2), true, units, valid), (Bytes{'a', 0, 0, 0}));
  EXPECT_EQ(units, 2u);
  EXPECT_EQ(EncodeJet4Text("\xc3\xa9", true, units, valid), (Bytes{0xff, 0xfe, 0xe9}));
  EXPECT_EQ(units, 1u);
  EXPECT_EQ(EncodeValue(Col(col_type::kInt32), std::string("-2"), "T").bytes,
            (Bytes{0xfe, 0xff, 0xff, 0xff}));
  EXPECT_EQ(EncodeValue(Col(col_type::kInt16), std::string("-007"), "T").bytes, (Bytes{0xf9, 0xff}));
  EXPECT_THROW(EncodeValue(Col(col_type::kByte), std::string("-1"), "T"), Error);
  EXPECT_TRUE(EncodeValue(Col(col_type::kInt32), std::string(""), "T").null);
  // Single: the range is that of the value rounded to single precision, so the shortest text of
  // the largest Single (above it as a double) is the largest Single; past the halfway point to
  // the next power of two a value is refused
  const Bytes largest{0xff, 0xff, 0x7f, 0x7f};
  for (const char* text : {"3.4028235E38", "3.40282356e38", "340282346638528859811704183484516925440"})
    EXPECT_EQ(EncodeValue(Col(col_type::kSingle), std::string(text), "T").bytes, largest) << text;
  EXPECT_EQ(EncodeValue(Col(col_type::kSingle), std::string("-3.4028235E38"), "T").bytes,
            (Bytes{0xff, 0xff, 0x7f, 0xff}));
  EXPECT_EQ(EncodeValue(Col(col_type::kSingle), 3.4028235e38, "T").bytes, largest);
  for (const char* text : {"3.4028236E38", "-3.4028236E38", "1e39"}) {
    try {
      EncodeValue(Col(col_type::kSingle), std::string(text), "T");
      ADD_FAILURE() << text << " was taken";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), 3464) << text;
    }
  }
}

}  // namespace
}  // namespace qv::jet
