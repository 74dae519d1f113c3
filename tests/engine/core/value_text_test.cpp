#include "engine/core/value_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace qv {
namespace {

TEST(ValueText, DoublesReadBackExactly) {
  for (double d : {0.1, -1e300, 5e-324, 1.0 / 3.0, 123456789.125, -0.0, 3.0}) {
    auto parsed = ParseDouble(FormatDouble(d));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, d) << FormatDouble(d);
  }
  EXPECT_EQ(FormatDouble(3.0), "3");
  EXPECT_FALSE(ParseDouble("1,5"));
  EXPECT_FALSE(ParseDouble(""));
}

TEST(ValueText, CurrencyIsExactToFourDecimals) {
  EXPECT_EQ(FormatCurrency({-125000}), "-12.5");
  EXPECT_EQ(FormatCurrency({30000}), "3");
  EXPECT_EQ(FormatCurrency({std::numeric_limits<std::int64_t>::min()}), "-922337203685477.5808");
  EXPECT_EQ(ParseCurrency("-922337203685477.5808")->scaled, std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(ParseCurrency("922337203685477.5808"));  // one past the largest
  EXPECT_FALSE(ParseCurrency("1.23456"));               // would be rounded
  EXPECT_EQ(ParseCurrency(".5")->scaled, 5000);
  EXPECT_FALSE(ParseCurrency("."));
}

TEST(ValueText, TimestampForms) {
  Timestamp t{2024, 2, 29, 23, 59, 58, 7};
  EXPECT_EQ(FormatTimestamp(t), "2024-02-29 23:59:58.007");
  EXPECT_EQ(*ParseTimestamp("2024-02-29 23:59:58.007"), t);
  EXPECT_EQ(*ParseTimestamp("2024-02-29 23:59:58.7"), (Timestamp{2024, 2, 29, 23, 59, 58, 700}));
  EXPECT_EQ(*ParseTimestamp("1899-12-30"), Timestamp{});
  auto timeOnly = ParseTimestamp("13:45:00");
  ASSERT_TRUE(timeOnly);
  EXPECT_EQ(timeOnly->year, 1899);
  EXPECT_EQ(timeOnly->hour, 13);
  EXPECT_FALSE(ParseTimestamp("2023-02-29"));
  EXPECT_FALSE(ParseTimestamp("2023-01-01 24:00:00"));
  EXPECT_FALSE(ParseTimestamp("01/02/2023"));
}

TEST(ValueText, GuidBinaryAndBoolean) {
  auto g = ParseGuid("{00112233-4455-6677-8899-AABBCCDDEEFF}");
  ASSERT_TRUE(g);
  EXPECT_EQ(FormatGuid(*g), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_FALSE(ParseGuid("00112233-4455-6677-8899-AABBCCDDEEF"));
  EXPECT_EQ(*FormatValueText(Value{Bytes{0x00, 0xff, 0x10}}), "00ff10");
  EXPECT_FALSE(FormatValueText(Value{}));
  EXPECT_EQ(ParseBoolean("-1"), true);
  EXPECT_EQ(ParseBoolean("FALSE"), false);
  EXPECT_FALSE(ParseBoolean("2"));
}

TEST(CivilDates, RoundTripAcrossEras) {
  for (std::int64_t days : {-800000LL, -719162LL, -25569LL, 0LL, 2932896LL}) {
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    EXPECT_EQ(DaysFromCivil(y, m, d), days);
  }
  EXPECT_EQ(DaysFromCivil(1899, 12, 30), -25569);
}

}  // namespace
}  // namespace qv
