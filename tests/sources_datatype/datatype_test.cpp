#include "sources/datatype.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>

namespace qv::sources {
namespace {

// ADO's data-type enumeration as published, without the array flag.
const std::map<int, std::string>& Published() {
  static const std::map<int, std::string> names{{20, "adBigInt"},
                                                {128, "adBinary"},
                                                {11, "adBoolean"},
                                                {8, "adBSTR"},
                                                {136, "adChapter"},
                                                {129, "adChar"},
                                                {6, "adCurrency"},
                                                {7, "adDate"},
                                                {133, "adDBDate"},
                                                {134, "adDBTime"},
                                                {135, "adDBTimeStamp"},
                                                {14, "adDecimal"},
                                                {5, "adDouble"},
                                                {0, "adEmpty"},
                                                {10, "adError"},
                                                {64, "adFileTime"},
                                                {72, "adGUID"},
                                                {9, "adIDispatch"},
                                                {3, "adInteger"},
                                                {13, "adIUnknown"},
                                                {205, "adLongVarBinary"},
                                                {201, "adLongVarChar"},
                                                {203, "adLongVarWChar"},
                                                {131, "adNumeric"},
                                                {138, "adPropVariant"},
                                                {4, "adSingle"},
                                                {2, "adSmallInt"},
                                                {16, "adTinyInt"},
                                                {21, "adUnsignedBigInt"},
                                                {19, "adUnsignedInt"},
                                                {18, "adUnsignedSmallInt"},
                                                {17, "adUnsignedTinyInt"},
                                                {132, "adUserDefined"},
                                                {204, "adVarBinary"},
                                                {200, "adVarChar"},
                                                {12, "adVariant"},
                                                {139, "adVarNumeric"},
                                                {202, "adVarWChar"},
                                                {130, "adWChar"}};
  return names;
}

TEST(DataTypeName, EverySixteenBitNumber) {
  int named = 0;
  for (int n = std::numeric_limits<std::int16_t>::min(); n <= std::numeric_limits<std::int16_t>::max(); ++n) {
    const auto name = DataTypeName(static_cast<std::int16_t>(n));
    const auto it = Published().find(n);
    if (it == Published().end()) {
      EXPECT_FALSE(name) << n << " gave " << *name;
    } else {
      ++named;
      ASSERT_TRUE(name) << n;
      EXPECT_EQ(*name, it->second) << n;
    }
  }
  EXPECT_EQ(named, 39);
}

std::string Lower(std::optional<std::string> name) {
  std::string s = name.value_or("");
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

TEST(DataTypeName, EdgeCases) {
  EXPECT_EQ(DataTypeName(0), "adEmpty");  // a name, not the empty value
  EXPECT_EQ(DataTypeName(8), "adBSTR");
  EXPECT_EQ(DataTypeName(72), "adGUID");
  EXPECT_EQ(Lower(DataTypeName(8)), "adbstr");
  EXPECT_EQ(Lower(DataTypeName(72)), "adguid");
  for (std::int16_t n : {1, 15, 8192, -1, 8192 + 202}) {
    EXPECT_EQ(DataTypeName(n), std::nullopt) << n;
    EXPECT_EQ(Lower(DataTypeName(n)), "");
  }
  const std::string longBinary = Lower(DataTypeName(205));
  EXPECT_NE(longBinary.find("longvar"), std::string::npos);
  EXPECT_NE(longBinary.find("adlongvarbinary"), std::string::npos);
}

}  // namespace
}  // namespace qv::sources
