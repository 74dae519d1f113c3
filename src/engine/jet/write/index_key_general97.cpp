// Text index keys of Access 97 (Jet3) files: the "General" sort order as Jet3 writes it (called
// "General 97" here, after the name independent libraries give it). Facts, sources and checks:
// docs/formats/jet-writing.md, "Access 97 text keys".
#include "engine/jet/write/index_key_general97.h"

#include <cstdio>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/write/index_key_codes.h"

namespace qv::jet::collation {

namespace {

// How one Windows-1252 byte is coded:
//   'S' simple: `inl` goes into the key;
//   'I' international (accented letters): `inl` (the base letter) goes into the key, `accent`
//       (one nibble) into the accent part;
//   'X' ignored (NUL).
// Case is not coded: 'a' and 'A' have one code.
struct Code97 {
  char type;
  const char* inl;
  std::uint8_t accent;
};

// By Windows-1252 byte. The codes are those of Jackcess' "General 97" index code table (public
// data) and agree with every text key of the Access-made Access 97 files of the corpus
// (testIndexCodesV1997, indexTestV1997, compIndexTestV1997 and the catalogs of all of them).
constexpr Code97 kGeneral97[256] = {
    {'X', "", 0},          // 0x00 U+0000
    {'S', "\x10", 0},      // 0x01 U+0001
    {'S', "\x10", 0},      // 0x02 U+0002
    {'S', "\x10", 0},      // 0x03 U+0003
    {'S', "\x10", 0},      // 0x04 U+0004
    {'S', "\x10", 0},      // 0x05 U+0005
    {'S', "\x10", 0},      // 0x06 U+0006
    {'S', "\x10", 0},      // 0x07 U+0007
    {'S', "\x10", 0},      // 0x08 U+0008
    {'S', "\x11", 0},      // 0x09 U+0009
    {'S', "\x10", 0},      // 0x0A U+000A
    {'S', "\x10", 0},      // 0x0B U+000B
    {'S', "\x10", 0},      // 0x0C U+000C
    {'S', "\x10", 0},      // 0x0D U+000D
    {'S', "\x10", 0},      // 0x0E U+000E
    {'S', "\x10", 0},      // 0x0F U+000F
    {'S', "\x10", 0},      // 0x10 U+0010
    {'S', "\x10", 0},      // 0x11 U+0011
    {'S', "\x10", 0},      // 0x12 U+0012
    {'S', "\x10", 0},      // 0x13 U+0013
    {'S', "\x10", 0},      // 0x14 U+0014
    {'S', "\x10", 0},      // 0x15 U+0015
    {'S', "\x10", 0},      // 0x16 U+0016
    {'S', "\x10", 0},      // 0x17 U+0017
    {'S', "\x10", 0},      // 0x18 U+0018
    {'S', "\x10", 0},      // 0x19 U+0019
    {'S', "\x10", 0},      // 0x1A U+001A
    {'S', "\x10", 0},      // 0x1B U+001B
    {'S', "\x10", 0},      // 0x1C U+001C
    {'S', "\x10", 0},      // 0x1D U+001D
    {'S', "\x10", 0},      // 0x1E U+001E
    {'S', "\x10", 0},      // 0x1F U+001F
    {'S', "\x11", 0},      // 0x20 U+0020
    {'S', "\x12", 0},      // 0x21 U+0021
    {'S', "\x13", 0},      // 0x22 U+0022
    {'S', "\x14", 0},      // 0x23 U+0023
    {'S', "\x15", 0},      // 0x24 U+0024
    {'S', "\x16", 0},      // 0x25 U+0025
    {'S', "\x17", 0},      // 0x26 U+0026
    {'S', "\x18", 0},      // 0x27 U+0027
    {'S', "\x19", 0},      // 0x28 U+0028
    {'S', "\x1A", 0},      // 0x29 U+0029
    {'S', "\x1B", 0},      // 0x2A U+002A
    {'S', "\x1C", 0},      // 0x2B U+002B
    {'S', "\x1D", 0},      // 0x2C U+002C
    {'S', "\x1E", 0},      // 0x2D U+002D
    {'S', "\x1F", 0},      // 0x2E U+002E
    {'S', "\x20", 0},      // 0x2F U+002F
    {'S', "\x56", 0},      // 0x30 U+0030
    {'S', "\x57", 0},      // 0x31 U+0031
    {'S', "\x58", 0},      // 0x32 U+0032
    {'S', "\x59", 0},      // 0x33 U+0033
    {'S', "\x5A", 0},      // 0x34 U+0034
    {'S', "\x5B", 0},      // 0x35 U+0035
    {'S', "\x5C", 0},      // 0x36 U+0036
    {'S', "\x5D", 0},      // 0x37 U+0037
    {'S', "\x5E", 0},      // 0x38 U+0038
    {'S', "\x5F", 0},      // 0x39 U+0039
    {'S', "\x21", 0},      // 0x3A U+003A
    {'S', "\x22", 0},      // 0x3B U+003B
    {'S', "\x23", 0},      // 0x3C U+003C
    {'S', "\x24", 0},      // 0x3D U+003D
    {'S', "\x25", 0},      // 0x3E U+003E
    {'S', "\x26", 0},      // 0x3F U+003F
    {'S', "\x27", 0},      // 0x40 U+0040
    {'S', "\x60", 0},      // 0x41 U+0041
    {'S', "\x61", 0},      // 0x42 U+0042
    {'S', "\x62", 0},      // 0x43 U+0043
    {'S', "\x64", 0},      // 0x44 U+0044
    {'S', "\x66", 0},      // 0x45 U+0045
    {'S', "\x67", 0},      // 0x46 U+0046
    {'S', "\x68", 0},      // 0x47 U+0047
    {'S', "\x69", 0},      // 0x48 U+0048
    {'S', "\x6A", 0},      // 0x49 U+0049
    {'S', "\x6B", 0},      // 0x4A U+004A
    {'S', "\x6C", 0},      // 0x4B U+004B
    {'S', "\x6D", 0},      // 0x4C U+004C
    {'S', "\x6F", 0},      // 0x4D U+004D
    {'S', "\x70", 0},      // 0x4E U+004E
    {'S', "\x72", 0},      // 0x4F U+004F
    {'S', "\x73", 0},      // 0x50 U+0050
    {'S', "\x74", 0},      // 0x51 U+0051
    {'S', "\x75", 0},      // 0x52 U+0052
    {'S', "\x76", 0},      // 0x53 U+0053
    {'S', "\x77", 0},      // 0x54 U+0054
    {'S', "\x78", 0},      // 0x55 U+0055
    {'S', "\x7A", 0},      // 0x56 U+0056
    {'S', "\x7B", 0},      // 0x57 U+0057
    {'S', "\x7C", 0},      // 0x58 U+0058
    {'S', "\x7D", 0},      // 0x59 U+0059
    {'S', "\x7E", 0},      // 0x5A U+005A
    {'S', "\x28", 0},      // 0x5B U+005B
    {'S', "\x29", 0},      // 0x5C U+005C
    {'S', "\x2A", 0},      // 0x5D U+005D
    {'S', "\x2B", 0},      // 0x5E U+005E
    {'S', "\x2C", 0},      // 0x5F U+005F
    {'S', "\x2D", 0},      // 0x60 U+0060
    {'S', "\x60", 0},      // 0x61 U+0061
    {'S', "\x61", 0},      // 0x62 U+0062
    {'S', "\x62", 0},      // 0x63 U+0063
    {'S', "\x64", 0},      // 0x64 U+0064
    {'S', "\x66", 0},      // 0x65 U+0065
    {'S', "\x67", 0},      // 0x66 U+0066
    {'S', "\x68", 0},      // 0x67 U+0067
    {'S', "\x69", 0},      // 0x68 U+0068
    {'S', "\x6A", 0},      // 0x69 U+0069
    {'S', "\x6B", 0},      // 0x6A U+006A
    {'S', "\x6C", 0},      // 0x6B U+006B
    {'S', "\x6D", 0},      // 0x6C U+006C
    {'S', "\x6F", 0},      // 0x6D U+006D
    {'S', "\x70", 0},      // 0x6E U+006E
    {'S', "\x72", 0},      // 0x6F U+006F
    {'S', "\x73", 0},      // 0x70 U+0070
    {'S', "\x74", 0},      // 0x71 U+0071
    {'S', "\x75", 0},      // 0x72 U+0072
    {'S', "\x76", 0},      // 0x73 U+0073
    {'S', "\x77", 0},      // 0x74 U+0074
    {'S', "\x78", 0},      // 0x75 U+0075
    {'S', "\x7A", 0},      // 0x76 U+0076
    {'S', "\x7B", 0},      // 0x77 U+0077
    {'S', "\x7C", 0},      // 0x78 U+0078
    {'S', "\x7D", 0},      // 0x79 U+0079
    {'S', "\x7E", 0},      // 0x7A U+007A
    {'S', "\x2E", 0},      // 0x7B U+007B
    {'S', "\x2F", 0},      // 0x7C U+007C
    {'S', "\x30", 0},      // 0x7D U+007D
    {'S', "\x31", 0},      // 0x7E U+007E
    {'S', "\x10", 0},      // 0x7F U+007F
    {'S', "\x10", 0},      // 0x80 U+20AC
    {'S', "\x10", 0},      // 0x81 undefined
    {'S', "\x18", 0},      // 0x82 U+201A
    {'S', "\x32", 0},      // 0x83 U+0192
    {'S', "\x13", 0},      // 0x84 U+201E
    {'S', "\x33", 0},      // 0x85 U+2026
    {'S', "\x34", 0},      // 0x86 U+2020
    {'S', "\x35", 0},      // 0x87 U+2021
    {'S', "\x36", 0},      // 0x88 U+02C6
    {'S', "\x37", 0},      // 0x89 U+2030
    {'I', "\x76", 0xA},    // 0x8A U+0160
    {'S', "\x18", 0},      // 0x8B U+2039
    {'S', "\x72\x66", 0},  // 0x8C U+0152
    {'S', "\x10", 0},      // 0x8D undefined
    {'S', "\x10", 0},      // 0x8E U+017D
    {'S', "\x10", 0},      // 0x8F undefined
    {'S', "\x10", 0},      // 0x90 undefined
    {'S', "\x18", 0},      // 0x91 U+2018
    {'S', "\x18", 0},      // 0x92 U+2019
    {'S', "\x13", 0},      // 0x93 U+201C
    {'S', "\x13", 0},      // 0x94 U+201D
    {'S', "\x38", 0},      // 0x95 U+2022
    {'S', "\x1E", 0},      // 0x96 U+2013
    {'S', "\x1E", 0},      // 0x97 U+2014
    {'S', "\x39", 0},      // 0x98 U+02DC
    {'S', "\x3A", 0},      // 0x99 U+2122
    {'I', "\x76", 0xA},    // 0x9A U+0161
    {'S', "\x18", 0},      // 0x9B U+203A
    {'S', "\x72\x66", 0},  // 0x9C U+0153
    {'S', "\x10", 0},      // 0x9D undefined
    {'S', "\x10", 0},      // 0x9E U+017E
    {'I', "\x7D", 0x6},    // 0x9F U+0178
    {'S', "\x11", 0},      // 0xA0 U+00A0
    {'S', "\x3B", 0},      // 0xA1 U+00A1
    {'S', "\x3C", 0},      // 0xA2 U+00A2
    {'S', "\x3D", 0},      // 0xA3 U+00A3
    {'S', "\x3E", 0},      // 0xA4 U+00A4
    {'S', "\x3F", 0},      // 0xA5 U+00A5
    {'S', "\x40", 0},      // 0xA6 U+00A6
    {'S', "\x41", 0},      // 0xA7 U+00A7
    {'S', "\x42", 0},      // 0xA8 U+00A8
    {'S', "\x43", 0},      // 0xA9 U+00A9
    {'S', "\x44", 0},      // 0xAA U+00AA
    {'S', "\x13", 0},      // 0xAB U+00AB
    {'S', "\x45", 0},      // 0xAC U+00AC
    {'S', "\x1E", 0},      // 0xAD U+00AD
    {'S', "\x46", 0},      // 0xAE U+00AE
    {'S', "\x47", 0},      // 0xAF U+00AF
    {'S', "\x48", 0},      // 0xB0 U+00B0
    {'S', "\x49", 0},      // 0xB1 U+00B1
    {'S', "\x58", 0},      // 0xB2 U+00B2
    {'S', "\x59", 0},      // 0xB3 U+00B3
    {'S', "\x4A", 0},      // 0xB4 U+00B4
    {'S', "\x4B", 0},      // 0xB5 U+00B5
    {'S', "\x4C", 0},      // 0xB6 U+00B6
    {'S', "\x4D", 0},      // 0xB7 U+00B7
    {'S', "\x4E", 0},      // 0xB8 U+00B8
    {'S', "\x57", 0},      // 0xB9 U+00B9
    {'S', "\x4F", 0},      // 0xBA U+00BA
    {'S', "\x13", 0},      // 0xBB U+00BB
    {'S', "\x50", 0},      // 0xBC U+00BC
    {'S', "\x51", 0},      // 0xBD U+00BD
    {'S', "\x52", 0},      // 0xBE U+00BE
    {'S', "\x53", 0},      // 0xBF U+00BF
    {'I', "\x60", 0x3},    // 0xC0 U+00C0
    {'I', "\x60", 0x4},    // 0xC1 U+00C1
    {'I', "\x60", 0x5},    // 0xC2 U+00C2
    {'I', "\x60", 0x7},    // 0xC3 U+00C3
    {'I', "\x60", 0x6},    // 0xC4 U+00C4
    {'I', "\x60", 0x8},    // 0xC5 U+00C5
    {'S', "\x60\x66", 0},  // 0xC6 U+00C6
    {'I', "\x62", 0x9},    // 0xC7 U+00C7
    {'I', "\x66", 0x3},    // 0xC8 U+00C8
    {'I', "\x66", 0x4},    // 0xC9 U+00C9
    {'I', "\x66", 0x5},    // 0xCA U+00CA
    {'I', "\x66", 0x6},    // 0xCB U+00CB
    {'I', "\x6A", 0x3},    // 0xCC U+00CC
    {'I', "\x6A", 0x4},    // 0xCD U+00CD
    {'I', "\x6A", 0x5},    // 0xCE U+00CE
    {'I', "\x6A", 0x6},    // 0xCF U+00CF
    {'S', "\x65", 0},      // 0xD0 U+00D0
    {'I', "\x70", 0x7},    // 0xD1 U+00D1
    {'I', "\x72", 0x3},    // 0xD2 U+00D2
    {'I', "\x72", 0x4},    // 0xD3 U+00D3
    {'I', "\x72", 0x5},    // 0xD4 U+00D4
    {'I', "\x72", 0x7},    // 0xD5 U+00D5
    {'I', "\x72", 0x6},    // 0xD6 U+00D6
    {'S', "\x54", 0},      // 0xD7 U+00D7
    {'S', "\x81", 0},      // 0xD8 U+00D8
    {'I', "\x78", 0x3},    // 0xD9 U+00D9
    {'I', "\x78", 0x4},    // 0xDA U+00DA
    {'I', "\x78", 0x5},    // 0xDB U+00DB
    {'I', "\x78", 0x6},    // 0xDC U+00DC
    {'I', "\x7D", 0x4},    // 0xDD U+00DD
    {'S', "\x7F", 0},      // 0xDE U+00DE
    {'S', "\x76\x76", 0},  // 0xDF U+00DF
    {'I', "\x60", 0x3},    // 0xE0 U+00E0
    {'I', "\x60", 0x4},    // 0xE1 U+00E1
    {'I', "\x60", 0x5},    // 0xE2 U+00E2
    {'I', "\x60", 0x7},    // 0xE3 U+00E3
    {'I', "\x60", 0x6},    // 0xE4 U+00E4
    {'I', "\x60", 0x8},    // 0xE5 U+00E5
    {'S', "\x60\x66", 0},  // 0xE6 U+00E6
    {'I', "\x62", 0x9},    // 0xE7 U+00E7
    {'I', "\x66", 0x3},    // 0xE8 U+00E8
    {'I', "\x66", 0x4},    // 0xE9 U+00E9
    {'I', "\x66", 0x5},    // 0xEA U+00EA
    {'I', "\x66", 0x6},    // 0xEB U+00EB
    {'I', "\x6A", 0x3},    // 0xEC U+00EC
    {'I', "\x6A", 0x4},    // 0xED U+00ED
    {'I', "\x6A", 0x5},    // 0xEE U+00EE
    {'I', "\x6A", 0x6},    // 0xEF U+00EF
    {'S', "\x65", 0},      // 0xF0 U+00F0
    {'I', "\x70", 0x7},    // 0xF1 U+00F1
    {'I', "\x72", 0x3},    // 0xF2 U+00F2
    {'I', "\x72", 0x4},    // 0xF3 U+00F3
    {'I', "\x72", 0x5},    // 0xF4 U+00F4
    {'I', "\x72", 0x7},    // 0xF5 U+00F5
    {'I', "\x72", 0x6},    // 0xF6 U+00F6
    {'S', "\x55", 0},      // 0xF7 U+00F7
    {'S', "\x81", 0},      // 0xF8 U+00F8
    {'I', "\x78", 0x3},    // 0xF9 U+00F9
    {'I', "\x78", 0x4},    // 0xFA U+00FA
    {'I', "\x78", 0x5},    // 0xFB U+00FB
    {'I', "\x78", 0x6},    // 0xFC U+00FC
    {'I', "\x7D", 0x4},    // 0xFD U+00FD
    {'S', "\x7F", 0},      // 0xFE U+00FE
    {'I', "\x7D", 0x6},    // 0xFF U+00FF
};

// The Windows-1252 characters beyond U+00FF and their bytes.
struct Cp1252Extra {
  std::uint32_t cp;
  std::uint8_t byte;
};
constexpr Cp1252Extra kCp1252Extras[] = {
    {0x0152, 0x8C}, {0x0153, 0x9C}, {0x0160, 0x8A}, {0x0161, 0x9A}, {0x0178, 0x9F}, {0x017D, 0x8E},
    {0x017E, 0x9E}, {0x0192, 0x83}, {0x02C6, 0x88}, {0x02DC, 0x98}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x2018, 0x91}, {0x2019, 0x92}, {0x201A, 0x82}, {0x201C, 0x93}, {0x201D, 0x94}, {0x201E, 0x84},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x2022, 0x95}, {0x2026, 0x85}, {0x2030, 0x89}, {0x2039, 0x8B},
    {0x203A, 0x9B}, {0x20AC, 0x80}, {0x2122, 0x99},
};

constexpr std::uint8_t kEndText = 0x00;
constexpr std::uint8_t kNoAccent = 0x02;
constexpr std::uint8_t kFirstDigit = 0x56;   // the code of 0; codes below are punctuation and symbols
constexpr std::uint8_t kFirstLetter = 0x60;  // the code of A
constexpr std::size_t kMaxIndexedChars = 255;

// The Windows-1252 byte of `cp`, or -1 when code page 1252 has no such character (U+0080..U+009F
// are control characters there, not characters of the code page).
int Cp1252Byte(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (const auto& e : kCp1252Extras)
    if (e.cp == cp) return e.byte;
  return -1;
}

}  // namespace

void AppendGeneral97Text(Bytes& out, std::string_view utf8, std::uint16_t codePage, bool ascending,
                         const std::string& where) {
  std::vector<std::uint32_t> chars = CodePoints(utf8, where);
  // as in every later version: only the first 255 characters count, and spaces at their end not
  if (chars.size() > kMaxIndexedChars) chars.resize(kMaxIndexedChars);
  while (!chars.empty() && chars.back() == 0x20) chars.pop_back();
  // a header naming no code page: its text is read and written as 1252
  const bool western = codePage == 1252 || codePage == 0;
  const std::size_t start = out.size();
  // The accent part: one nibble per letter up to the last accented one, 2 for a letter without
  // an accent; punctuation, symbols, spaces and control characters take no place in it. Whether
  // digits and the letters coded as two letters (Æ, Œ, ß) take one place, two or none no
  // Access-made key shows: such a character before an accented letter is refused.
  Bytes nibbles{0};
  std::size_t accented = 0;        // nibbles up to the last accent
  std::uint32_t placeUnknown = 0;  // the first character whose place is not known, if any
  for (std::uint32_t cp : chars) {
    const int b = Cp1252Byte(cp);
    if (b < 0 || (!western && cp >= 0x80)) {
      if (western)
        CannotKey("The character " + CharName(cp) +
                      " cannot be placed in an index of an Access 97 database: it is not a character of "
                      "code page 1252, the code page of the database.",
                  where);
      CannotKey("The character " + CharName(cp) +
                    " cannot be placed in an index of an Access 97 database in code page " +
                    std::to_string(codePage) +
                    " yet: index keys of such databases are known only for ASCII characters.",
                where);
    }
    const Code97& code = kGeneral97[b];
    if (code.type == 'X') continue;
    for (const char* p = code.inl; *p; ++p) out.push_back(static_cast<std::uint8_t>(*p));
    const auto first = static_cast<std::uint8_t>(code.inl[0]);
    if (code.type == 'I') {
      if (placeUnknown != 0)
        CannotKey("The character " + CharName(placeUnknown) +
                      " cannot be placed in an index of an Access 97 database before an accented letter (" +
                      CharName(cp) + "): how Access 97 counts it among the accents is not known.",
                  where);
      nibbles.push_back(code.accent);
      accented = nibbles.size();
    } else if (first >= kFirstLetter && code.inl[1] == '\0') {
      nibbles.push_back(kNoAccent);
    } else if (first >= kFirstDigit && placeUnknown == 0) {
      placeUnknown = cp;
    }
  }
  if (accented == 0) {
    out.push_back(kEndText);
  } else {
    // high nibble first: the 0 bound, the accents, a 0 bound; an odd count ends with a 0 nibble
    nibbles.resize(accented);
    nibbles.push_back(0);
    for (std::size_t i = 0; i < nibbles.size(); i += 2) {
      const std::uint8_t low = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
      out.push_back(static_cast<std::uint8_t>((nibbles[i] << 4) | low));
    }
  }
  if (!ascending)
    for (std::size_t i = start; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

}  // namespace qv::jet::collation
