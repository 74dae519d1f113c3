// The character codes of the "General" sort order (0x0409) that text index keys are made of;
// used by the key maker only (index_key.cpp). Facts and their checks: docs/formats/jet-writing.md,
// "Index keys" and "Characters beyond U+00FF".
#pragma once

#include <cstdint>

namespace qv::jet::collation {

// How one character is coded in a text key:
//   'S' simple: `inl` goes into the key's main part;
//   'I' international (accented letters and kin): `inl` (the base letter or letters) goes into
//       the main part, `extra` into the accent part;
//   'U' unprintable (apostrophe, hyphen, control characters): nothing in the main part, `inl`
//       goes into the unprintable part together with the character's position;
//   'X' ignored: nothing at all;
//   'R' refused: no trustworthy code is known (combining marks, which change the accent byte of
//       the character before them, and characters the order gives no weight to).
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

}  // namespace qv::jet::collation
