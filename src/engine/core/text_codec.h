// Conversion between a file's code page and UTF-8 through iconv. Each codec owns its iconv
// handles (no process-wide state); conversions that would lose a character fail instead.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class TextCodec {
 public:
  // `charset` is an iconv name ("CP437", "CP1252", "UTF-16LE"). Throws qv::Error when iconv does
  // not know it.
  explicit TextCodec(const std::string& charset);
  ~TextCodec();
  TextCodec(const TextCodec&) = delete;
  TextCodec& operator=(const TextCodec&) = delete;
  TextCodec(TextCodec&&) noexcept;
  TextCodec& operator=(TextCodec&&) noexcept;

  const std::string& charset() const { return charset_; }

  // Decodes bytes of the code page; a byte the code page does not define becomes U+FFFD.
  std::string ToUtf8(std::span<const std::uint8_t> bytes) const;
  std::string ToUtf8(std::string_view bytes) const;
  // Encodes UTF-8 text; returns false (and leaves `out` unspecified) when a character has no
  // code in the code page or the input is not valid UTF-8.
  bool FromUtf8(std::string_view utf8, std::string& out) const;

  // "CP437" for 437 and so on; the Windows code pages and the OEM ones iconv knows.
  static std::string CharsetForCodePage(int codePage);

 private:
  std::string charset_;
  void* toUtf8_ = nullptr;    // iconv_t
  void* fromUtf8_ = nullptr;  // iconv_t
  // Single-byte code pages decode byte by byte through this table (UTF-8 of each byte, U+FFFD
  // for an undefined one): as Windows decodes them, without the composing of a letter and its
  // marks that iconv does for some (code page 1255). Empty for multi-byte character sets.
  std::vector<std::string> bytes_;
};

// True when every byte is below 0x80: text that every code page of ours keeps unchanged.
bool IsAscii(std::string_view bytes);
inline bool IsAscii(std::span<const std::uint8_t> bytes) {
  return IsAscii(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// `a` and `b` equal with ASCII letters compared without regard to case and every other byte
// exactly: how the engines match the table names a statement or a caller gives.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The small letter of capital `c` in the alphabets whose capital and small letters Access'
// General order gives one code (Latin-1, Latin Extended-A, Greek, Cyrillic, Armenian); `c`
// itself otherwise.
char32_t FoldLetterCase(char32_t c);

// One character of UTF-8 text `s` at `i` (which must be inside it): its code point in `cp`, and
// `i` moved past it. False, with `i` and `cp` unchanged, for bytes that are not well-formed UTF-8
// (a cut or overlong sequence, a surrogate, a value past U+10FFFF). The one decoder of the engines.
bool DecodeUtf8(std::string_view s, std::size_t& i, char32_t& cp);

// `a` and `b` (UTF-8) equal with the letters FoldLetterCase knows compared without regard to
// case: how Access matches the names of tables and fields. Invalid UTF-8 compares bytewise.
bool EqualIgnoringLetterCase(std::string_view a, std::string_view b);

}  // namespace qv
