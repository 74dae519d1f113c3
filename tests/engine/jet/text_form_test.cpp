// The text form of rows as the row dump produces it: the shortest double text must be exactly
// std::to_chars' text (its fast path proves each result by reading it back, and must still pick
// the same digits and the same notation), and a row's text built straight from the stored cells
// must equal the text of its decoded values, on every table of the corpus.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/core/double_text.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/jet_text.h"
#include "engine/jet/table_cursor.h"
#include "test_support.h"

namespace qv::jet {
namespace {

using testing::CorpusDir;
using testing::CorpusFiles;
using testing::Passwords;

std::string Reference(double d) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
}

std::string Ours(double d) {
  char buf[kShortestDoubleChars];
  return std::string(buf, WriteShortestDouble(buf, d));
}

// Counts the values whose text differs, printing the first few.
class DoubleChecker {
 public:
  void operator()(double d) {
    if (!std::isfinite(d)) return;
    std::string want = Reference(d), got = Ours(d);
    if (want != got && ++failures_ <= 10) ADD_FAILURE() << "for " << want << " we wrote " << got;
  }
  int failures() const { return failures_; }

 private:
  int failures_ = 0;
};

TEST(ShortestDouble, SameTextAsToCharsOnDecimalsArithmeticAndEdges) {
  DoubleChecker check;
  // Column-like series: quarters, cents, tenths of cents, thirds (no short form), scaled ones.
  for (long i = -200000; i < 400000; ++i) {
    const double x = static_cast<double>(i);
    check(x * 0.25);
    check(x / 3.0);
    check(x / 100.0);
    check(x / 1000.0);
    check(x * 0.1);
    check(x * 1e-5);
    check(x * 1e7);
    check(x * 0.01 * 0.1);  // arithmetic results one unit off a short decimal
  }
  // Short decimals over a wide range of exponents, read as a parser reads them.
  for (int e = -30; e <= 30; ++e)
    for (int m = 1; m < 1000; ++m) {
      std::string text = std::to_string(m) + "e" + std::to_string(e);
      check(std::strtod(text.c_str(), nullptr));
      check(-std::strtod(text.c_str(), nullptr));
    }
  // Powers of two and ten with their neighbours (binade edges, where the rounding interval is
  // lopsided, and where fixed and scientific notation trade places).
  for (double x = 1; x < 1e300; x *= 2)
    check(x), check(std::nextafter(x, 0.0)), check(std::nextafter(x, 1e308));
  for (double x = 1; x > 1e-300; x /= 2)
    check(x), check(std::nextafter(x, 0.0)), check(std::nextafter(x, 1e308));
  for (double x = 1e-20; x < 1e22; x *= 10)
    check(x), check(std::nextafter(x, 0.0)), check(std::nextafter(x, 1e308));
  for (double x :
       {0.0, -0.0, 1e15, 999999999999999.0, 1e15 - 0.5, 123456789012345.6, 1e-5, 9.999999999999999e-6, 0.001,
        0.0001, 100000.0, 1234567.0, 1e16, std::numeric_limits<double>::min(),
        std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max()})
    check(x), check(-x);
  // Random bit patterns and random decimals of 1 to 17 digits.
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 300000; ++i) {
    std::uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    check(d);
    std::uint64_t p = 1;
    for (int k = 0, digits = 1 + static_cast<int>(random() % 17); k < digits; ++k) p *= 10;
    std::string text =
        std::to_string(random() % p) + "e" + std::to_string(static_cast<int>(random() % 40) - 25);
    check(std::strtod(text.c_str(), nullptr));
  }
  EXPECT_EQ(check.failures(), 0);
}

TEST(ShortestDouble, AppendedTextIsFormatDouble) {
  for (double d : {std::nan(""), HUGE_VAL, -HUGE_VAL, 0.0, -0.0, 2.5, -1.0 / 3.0, 1e21, 1e-7}) {
    std::string out = "x";
    AppendDoubleText(out, d);
    EXPECT_EQ(out, "x" + FormatDouble(d));
  }
}

// Stored text decoded one code unit at a time, the plain way: the reference for the decoder's
// run-at-a-time paths.
std::string ReferenceJet4Text(const std::vector<std::uint8_t>& b) {
  std::vector<std::uint16_t> units;
  if (b.size() >= 2 && b[0] == 0xff && b[1] == 0xfe) {
    bool oneByte = true;
    for (std::size_t i = 2; i < b.size();) {
      if (b[i] == 0) {
        oneByte = !oneByte;
        ++i;
      } else if (oneByte) {
        units.push_back(b[i++]);
      } else if (i + 1 < b.size()) {
        units.push_back(static_cast<std::uint16_t>(b[i] | (b[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
      units.push_back(static_cast<std::uint16_t>(b[i] | (b[i + 1] << 8)));
  }
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t u = units[i];
    if (u >= 0xd800 && u <= 0xdbff && i + 1 < units.size() && units[i + 1] >= 0xdc00 &&
        units[i + 1] <= 0xdfff) {
      AppendUtf8(out, 0x10000 + ((u - 0xd800) << 10) + (units[i + 1] - 0xdc00u));
      ++i;
    } else {
      AppendUtf8(out, u >= 0xd800 && u <= 0xdfff ? 0xfffd : u);
    }
  }
  return out;
}

TEST(Jet4Text, RunsDecodeAsUnitByUnit) {
  std::mt19937_64 random(7);
  // Mostly ASCII with now and then a 00 switch, a high byte or a surrogate, in both encodings.
  const std::uint8_t rare[] = {0x00, 0x80, 0xe9, 0xff, 0xd8, 0xdc, 0xd8, 0x3d, 0x01, 0x7f};
  for (int n = 0; n < 20000; ++n) {
    std::vector<std::uint8_t> b;
    const bool compressed = n % 2 == 0;
    if (compressed) b = {0xff, 0xfe};
    const std::size_t length = random() % 90;
    for (std::size_t i = 0; i < length; ++i) {
      const auto roll = random() % 100;
      b.push_back(roll < 8 ? rare[random() % std::size(rare)]
                           : static_cast<std::uint8_t>(0x20 + random() % 0x5f));
      if (!compressed) b.push_back(roll < 4 ? rare[random() % std::size(rare)] : 0);
    }
    ASSERT_EQ(DecodeJet4Text(b), ReferenceJet4Text(b)) << "case " << n;
    std::string appended = "ab";
    AppendJet4Text(b, appended);
    ASSERT_EQ(appended, "ab" + ReferenceJet4Text(b)) << "case " << n;
  }
}

// NextText must give, for every row of every readable table, the text of the decoded values.
TEST(RowText, EqualsTheDecodedValuesTextOnEveryCorpusTable) {
  auto passwords = Passwords();
  int tables = 0;
  long rows = 0;
  for (const std::string& rel : CorpusFiles()) {
    OpenOptions options;
    if (passwords.count(rel)) options.password = passwords[rel];
    std::unique_ptr<Database> db;
    try {
      db = Database::Open(CorpusDir() + "/" + rel, options);
    } catch (const Error&) {
      continue;  // files the engine refuses have their own tests
    }
    for (const std::string& name : db->UserTableNames()) {
      std::string want, got, wantError, gotError;
      try {
        TableRowReader reader(db->OpenCursor(name), ReadOptions{true});
        Row row;
        while (reader.Next(row)) {
          for (std::size_t i = 0; i < row.size(); ++i) {
            if (i) want += '\t';
            auto text = FormatValueText(row[i]);
            want += text ? *text : "NULL";
          }
          want += '\n';
          ++rows;
        }
      } catch (const Error& e) {
        wantError = e.what();
      }
      try {
        TableRowReader reader(db->OpenCursor(name), ReadOptions{true});
        while (reader.NextText(got, '\t', "NULL")) got += '\n';
      } catch (const Error& e) {
        gotError = e.what();
      }
      if (!wantError.empty()) {
        // A damaged row stops both at the same place with the same error.
        EXPECT_EQ(gotError, wantError) << rel << " " << name;
        EXPECT_EQ(got.substr(0, want.size()), want) << rel << " " << name;
        continue;
      }
      ASSERT_EQ(gotError, "") << rel << " " << name;
      ASSERT_EQ(got, want) << rel << " " << name;
      ++tables;
    }
  }
  std::printf("%d tables, %ld rows\n", tables, rows);
  EXPECT_GT(tables, 200);
  EXPECT_GT(rows, 4000);
}

}  // namespace
}  // namespace qv::jet
