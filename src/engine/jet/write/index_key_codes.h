// The character codes of the "General" sort order (0x0409) that text index keys are made of;
// used by the key maker only (index_key.cpp). Facts and their checks: docs/formats/jet-writing.md,
// "Index keys" and "Characters beyond U+00FF".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::jet::collation {

// How one character is coded in a text key:
//   'S' simple: `inl` goes into the key's main part;
//   'I' international (accented letters and kin): `inl` (the base letter or letters) goes into
//       the main part, `extra` into the accent part;
//   'U' unprintable (apostrophe, hyphen, control characters): nothing in the main part, `inl`
//       goes into the unprintable part together with the character's position;
//   'X' ignored: nothing at all;
//   'M' accent modifier (combining marks past U+06FF): nothing in the main part; its one byte
//       is added to the accent byte of the character before it (a placeholder when that one
//       has no accent);
//   'Z', 'z' kana: like 'I' (the accent part may be empty), plus a kana flag, 2 for 'Z' (small
//       kana), 3 for 'z', in the key's kana part;
//   'R' refused: no trustworthy code is known (combining marks of U+0300..U+06FF, and
//       characters the order gives no weight to).
// Letter case is not coded at all: 'a' and 'A' have the same key (text indexes of Access ignore
// case, and a unique index refuses two values that differ only in case).
struct CharCode {
  char type;
  const char* inl;
  const char* extra;
};

// First and last character of the extended tables (Latin Extended-A and -B, IPA, Greek,
// Cyrillic, Armenian, Hebrew, Arabic).
constexpr std::uint32_t kExtendedFirst = 0x0100;
constexpr std::uint32_t kExtendedLast = 0x06ff;

// The code of `cp` (kExtendedFirst..kExtendedLast) in sort version 0 ("General - Legacy") or 1.
const CharCode& ExtendedCharCode(std::uint32_t cp, int version);

// Characters past kExtendedLast, as runs of `count` characters from `first` of one type: the
// main-part bytes of character `first + i` are `inl` with `step * i` added, counting the last
// byte 02..FF and carrying into the byte before it (ideographs and kana come in such runs).
// Characters in no run are refused. Generated: index_key_blocks.cpp.
struct CodeRun {
  std::uint16_t first;
  std::uint16_t count;
  std::uint8_t step;
  char type;  // 'S', 'I', 'U', 'M', 'Z' or 'z'
  std::uint8_t inlLen;
  std::uint8_t extraLen;
  std::uint8_t inl[10];
  std::uint8_t extra[3];
};

// The runs of sort version 0 or 1, sorted by `first`.
std::span<const CodeRun> BlockRuns(int version);

// Helpers of both key makers (index_key.cpp): "U+XXXX"; the 3251 refusal of a key; the code
// points of UTF-8 text (3251 for bytes that are not UTF-8).
std::string CharName(std::uint32_t cp);
[[noreturn]] void CannotKey(const std::string& what, const std::string& where);
std::vector<std::uint32_t> CodePoints(std::string_view s, const std::string& where);

}  // namespace qv::jet::collation
