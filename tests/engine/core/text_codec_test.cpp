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

}  // namespace
}  // namespace qv
