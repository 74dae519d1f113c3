#include "engine/core/text_codec.h"

#include <gtest/gtest.h>

#include "engine/core/error.h"

namespace qv {
namespace {

TEST(TextCodec, DecodesOemAndWindowsPages) {
  TextCodec cp437(TextCodec::CharsetForCodePage(437));
  EXPECT_EQ(cp437.ToUtf8(std::string_view("\x81"
                                          "ber")),
            "\xC3\xBC"
            "ber");  // ü
  TextCodec cp1251(TextCodec::CharsetForCodePage(1251));
  EXPECT_EQ(cp1251.ToUtf8(std::string_view("\xC0")), "\xD0\x90");  // А
}

TEST(TextCodec, EncodingRefusesMissingCharacters) {
  TextCodec cp1252("CP1252");
  std::string out;
  EXPECT_TRUE(cp1252.FromUtf8("M\xC3\xBCller", out));
  EXPECT_EQ(out, "M\xFCller");
  EXPECT_FALSE(cp1252.FromUtf8("\xD0\x90", out));  // Cyrillic A has no CP1252 code
  EXPECT_FALSE(cp1252.FromUtf8("\xFF", out));      // not UTF-8
}

TEST(TextCodec, UndefinedBytesBecomeReplacementCharacter) {
  TextCodec cp1252("CP1252");
  EXPECT_EQ(cp1252.ToUtf8(std::string_view("a\x81z")), "a\xEF\xBF\xBDz");
}

TEST(TextCodec, UnknownCharsetIsAnError) {
  EXPECT_THROW(TextCodec("NO-SUCH-CHARSET-42"), Error);
}

// The one UTF-8 decoder of the engines (names, index keys, Access and Paradox text): well-formed
// text only, and on a refusal nothing moves.
TEST(TextCodec, DecodeUtf8TakesOnlyWellFormedCharacters) {
  struct Case {
    std::string_view bytes;
    char32_t cp;  // 0: refused
  };
  for (const Case& c : {Case{"A", U'A'}, Case{"\xc3\xa9", U'\u00e9'}, Case{"\xe0\xa4\x96", U'\u0916'},
                        Case{"\xf0\x9f\x98\x80", U'\U0001f600'}, Case{"\xc0\xaf", 0}, Case{"\xe0\x80\xaf", 0},
                        Case{"\xed\xa0\x80", 0}, Case{"\xf4\x90\x80\x80", 0}, Case{"\xc3", 0},
                        Case{"\xc3"
                             "A",
                             0},
                        Case{"\xff", 0}}) {
    std::size_t i = 0;
    char32_t cp = 0;
    EXPECT_EQ(DecodeUtf8(c.bytes, i, cp), c.cp != 0) << testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(cp, c.cp);
    EXPECT_EQ(i, c.cp != 0 ? c.bytes.size() : 0u);
  }
  EXPECT_TRUE(
      EqualIgnoringLetterCase("V\xc3\xbd"
                              "daje",
                              "V\xc3\x9d"
                              "DAJE"));
}

}  // namespace
}  // namespace qv
