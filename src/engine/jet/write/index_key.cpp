#include "engine/jet/write/index_key.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/core/value_text.h"
#include "engine/jet/format.h"
#include "engine/jet/write/index_key_codes.h"
#include "engine/jet/write/index_key_general97.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

namespace collation {

std::string CharName(std::uint32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
  return buf;
}

[[noreturn]] void CannotKey(const std::string& what, const std::string& where) {
  throw Error(errc::kNotSupported, what, where);
}

// Code points of `utf8`; throws 3251 for bytes that are not UTF-8.
std::vector<std::uint32_t> CodePoints(std::string_view s, const std::string& where) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    if (!DecodeUtf8(s, i, cp))
      CannotKey("An index key cannot be made of text that is not valid UTF-8.", where);
    out.push_back(cp);
  }
  return out;
}

}  // namespace collation

namespace {

using collation::CannotKey;
using collation::CharName;
using collation::CodePoints;

using collation::CharCode;

// The codes of U+0000..U+00FF (the types are those of collation::CharCode), the facts of the two
// "General" collations (0x0409) as Access writes them: sort version 0 (Access 2000-2007,
// "General - Legacy") and sort version 1 (Access 2010 and later). They were taken from the
// published collation tables of the Jackcess project and checked here against every text key of
// the corpus (see the index-key tests).
constexpr CharCode kGeneralLegacy[256] = {
    {'X', "", ""},          // U+0000
    {'U', "\x03", ""},      // U+0001
    {'U', "\x04", ""},      // U+0002
    {'U', "\x05", ""},      // U+0003
    {'U', "\x06", ""},      // U+0004
    {'U', "\x07", ""},      // U+0005
    {'U', "\x08", ""},      // U+0006
    {'U', "\x09", ""},      // U+0007
    {'U', "\x0A", ""},      // U+0008
    {'S', "\x08\x03", ""},  // U+0009
    {'S', "\x08\x04", ""},  // U+000A
    {'S', "\x08\x05", ""},  // U+000B
    {'S', "\x08\x06", ""},  // U+000C
    {'S', "\x08\x07", ""},  // U+000D
    {'U', "\x0B", ""},      // U+000E
    {'U', "\x0C", ""},      // U+000F
    {'U', "\x0D", ""},      // U+0010
    {'U', "\x0E", ""},      // U+0011
    {'U', "\x0F", ""},      // U+0012
    {'U', "\x10", ""},      // U+0013
    {'U', "\x11", ""},      // U+0014
    {'U', "\x12", ""},      // U+0015
    {'U', "\x13", ""},      // U+0016
    {'U', "\x14", ""},      // U+0017
    {'U', "\x15", ""},      // U+0018
    {'U', "\x16", ""},      // U+0019
    {'U', "\x17", ""},      // U+001A
    {'U', "\x18", ""},      // U+001B
    {'U', "\x19", ""},      // U+001C
    {'U', "\x1A", ""},      // U+001D
    {'U', "\x1B", ""},      // U+001E
    {'U', "\x1C", ""},      // U+001F
    {'S', "\x07", ""},      // U+0020
    {'S', "\x09", ""},      // U+0021
    {'S', "\x0A", ""},      // U+0022
    {'S', "\x0C", ""},      // U+0023
    {'S', "\x0E", ""},      // U+0024
    {'S', "\x10", ""},      // U+0025
    {'S', "\x12", ""},      // U+0026
    {'U', "\x80", ""},      // U+0027
    {'S', "\x14", ""},      // U+0028
    {'S', "\x16", ""},      // U+0029
    {'S', "\x18", ""},      // U+002A
    {'S', "\x2C", ""},      // U+002B
    {'S', "\x1A", ""},      // U+002C
    {'U', "\x82", ""},      // U+002D
    {'S', "\x1C", ""},      // U+002E
    {'S', "\x1E", ""},      // U+002F
    {'S', "\x36", ""},      // U+0030
    {'S', "\x38", ""},      // U+0031
    {'S', "\x3A", ""},      // U+0032
    {'S', "\x3C", ""},      // U+0033
    {'S', "\x3E", ""},      // U+0034
    {'S', "\x40", ""},      // U+0035
    {'S', "\x42", ""},      // U+0036
    {'S', "\x44", ""},      // U+0037
    {'S', "\x46", ""},      // U+0038
    {'S', "\x48", ""},      // U+0039
    {'S', "\x20", ""},      // U+003A
    {'S', "\x22", ""},      // U+003B
    {'S', "\x2E", ""},      // U+003C
    {'S', "\x30", ""},      // U+003D
    {'S', "\x32", ""},      // U+003E
    {'S', "\x24", ""},      // U+003F
    {'S', "\x26", ""},      // U+0040
    {'S', "\x4A", ""},      // U+0041
    {'S', "\x4C", ""},      // U+0042
    {'S', "\x4D", ""},      // U+0043
    {'S', "\x4F", ""},      // U+0044
    {'S', "\x51", ""},      // U+0045
    {'S', "\x53", ""},      // U+0046
    {'S', "\x55", ""},      // U+0047
    {'S', "\x57", ""},      // U+0048
    {'S', "\x59", ""},      // U+0049
    {'S', "\x5B", ""},      // U+004A
    {'S', "\x5C", ""},      // U+004B
    {'S', "\x5E", ""},      // U+004C
    {'S', "\x60", ""},      // U+004D
    {'S', "\x62", ""},      // U+004E
    {'S', "\x64", ""},      // U+004F
    {'S', "\x66", ""},      // U+0050
    {'S', "\x68", ""},      // U+0051
    {'S', "\x69", ""},      // U+0052
    {'S', "\x6B", ""},      // U+0053
    {'S', "\x6D", ""},      // U+0054
    {'S', "\x6F", ""},      // U+0055
    {'S', "\x71", ""},      // U+0056
    {'S', "\x73", ""},      // U+0057
    {'S', "\x75", ""},      // U+0058
    {'S', "\x76", ""},      // U+0059
    {'S', "\x78", ""},      // U+005A
    {'S', "\x27", ""},      // U+005B
    {'S', "\x29", ""},      // U+005C
    {'S', "\x2A", ""},      // U+005D
    {'S', "\x2B\x02", ""},  // U+005E
    {'S', "\x2B\x03", ""},  // U+005F
    {'S', "\x2B\x07", ""},  // U+0060
    {'S', "\x4A", ""},      // U+0061
    {'S', "\x4C", ""},      // U+0062
    {'S', "\x4D", ""},      // U+0063
    {'S', "\x4F", ""},      // U+0064
    {'S', "\x51", ""},      // U+0065
    {'S', "\x53", ""},      // U+0066
    {'S', "\x55", ""},      // U+0067
    {'S', "\x57", ""},      // U+0068
    {'S', "\x59", ""},      // U+0069
    {'S', "\x5B", ""},      // U+006A
    {'S', "\x5C", ""},      // U+006B
    {'S', "\x5E", ""},      // U+006C
    {'S', "\x60", ""},      // U+006D
    {'S', "\x62", ""},      // U+006E
    {'S', "\x64", ""},      // U+006F
    {'S', "\x66", ""},      // U+0070
    {'S', "\x68", ""},      // U+0071
    {'S', "\x69", ""},      // U+0072
    {'S', "\x6B", ""},      // U+0073
    {'S', "\x6D", ""},      // U+0074
    {'S', "\x6F", ""},      // U+0075
    {'S', "\x71", ""},      // U+0076
    {'S', "\x73", ""},      // U+0077
    {'S', "\x75", ""},      // U+0078
    {'S', "\x76", ""},      // U+0079
    {'S', "\x78", ""},      // U+007A
    {'S', "\x2B\x09", ""},  // U+007B
    {'S', "\x2B\x0B", ""},  // U+007C
    {'S', "\x2B\x0D", ""},  // U+007D
    {'S', "\x2B\x0F", ""},  // U+007E
    {'U', "\x1D", ""},      // U+007F
    {'U', "\x1E", ""},      // U+0080
    {'U', "\x1F", ""},      // U+0081
    {'U', "\x20", ""},      // U+0082
    {'U', "\x21", ""},      // U+0083
    {'U', "\x22", ""},      // U+0084
    {'U', "\x23", ""},      // U+0085
    {'U', "\x24", ""},      // U+0086
    {'U', "\x25", ""},      // U+0087
    {'U', "\x26", ""},      // U+0088
    {'U', "\x27", ""},      // U+0089
    {'U', "\x28", ""},      // U+008A
    {'U', "\x29", ""},      // U+008B
    {'U', "\x2A", ""},      // U+008C
    {'U', "\x2B", ""},      // U+008D
    {'U', "\x2C", ""},      // U+008E
    {'U', "\x2D", ""},      // U+008F
    {'U', "\x2E", ""},      // U+0090
    {'U', "\x2F", ""},      // U+0091
    {'U', "\x30", ""},      // U+0092
    {'U', "\x31", ""},      // U+0093
    {'U', "\x32", ""},      // U+0094
    {'U', "\x33", ""},      // U+0095
    {'U', "\x34", ""},      // U+0096
    {'U', "\x35", ""},      // U+0097
    {'U', "\x36", ""},      // U+0098
    {'U', "\x37", ""},      // U+0099
    {'U', "\x38", ""},      // U+009A
    {'U', "\x39", ""},      // U+009B
    {'U', "\x3A", ""},      // U+009C
    {'U', "\x3B", ""},      // U+009D
    {'U', "\x3C", ""},      // U+009E
    {'U', "\x3D", ""},      // U+009F
    {'S', "\x08\x02", ""},  // U+00A0
    {'S', "\x2B\x10", ""},  // U+00A1
    {'S', "\x34\xA6", ""},  // U+00A2
    {'S', "\x34\xA7", ""},  // U+00A3
    {'S', "\x34\xA8", ""},  // U+00A4
    {'S', "\x34\xA9", ""},  // U+00A5
    {'S', "\x2B\x11", ""},  // U+00A6
    {'S', "\x34\xAA", ""},  // U+00A7
    {'S', "\x2B\x12", ""},  // U+00A8
    {'S', "\x34\xAB", ""},  // U+00A9
    {'I', "\x4A", "\x03"},  // U+00AA
    {'S', "\x33\x05", ""},  // U+00AB
    {'S', "\x34\xAC", ""},  // U+00AC
    {'U', "\x83", ""},      // U+00AD
    {'S', "\x34\xAD", ""},  // U+00AE
    {'S', "\x2B\x13", ""},  // U+00AF
    {'S', "\x34\xAE", ""},  // U+00B0
    {'S', "\x33\x04", ""},  // U+00B1
    {'S', "\x3A", ""},      // U+00B2
    {'S', "\x3C", ""},      // U+00B3
    {'S', "\x2B\x14", ""},  // U+00B4
    {'S', "\x34\xAF", ""},  // U+00B5
    {'S', "\x34\xB0", ""},  // U+00B6
    {'S', "\x34\xB1", ""},  // U+00B7
    {'S', "\x2B\x15", ""},  // U+00B8
    {'S', "\x38", ""},      // U+00B9
    {'I', "\x64", "\x03"},  // U+00BA
    {'S', "\x33\x07", ""},  // U+00BB
    {'S', "\x37\x12", ""},  // U+00BC
    {'S', "\x37\x16", ""},  // U+00BD
    {'S', "\x37\x1A", ""},  // U+00BE
    {'S', "\x2B\x16", ""},  // U+00BF
    {'I', "\x4A", "\x0F"},  // U+00C0
    {'I', "\x4A", "\x0E"},  // U+00C1
    {'I', "\x4A", "\x12"},  // U+00C2
    {'I', "\x4A", "\x19"},  // U+00C3
    {'I', "\x4A", "\x13"},  // U+00C4
    {'I', "\x4A", "\x1A"},  // U+00C5
    {'S', "\x4A\x51", ""},  // U+00C6
    {'I', "\x4D", "\x1C"},  // U+00C7
    {'I', "\x51", "\x0F"},  // U+00C8
    {'I', "\x51", "\x0E"},  // U+00C9
    {'I', "\x51", "\x12"},  // U+00CA
    {'I', "\x51", "\x13"},  // U+00CB
    {'I', "\x59", "\x0F"},  // U+00CC
    {'I', "\x59", "\x0E"},  // U+00CD
    {'I', "\x59", "\x12"},  // U+00CE
    {'I', "\x59", "\x13"},  // U+00CF
    {'I', "\x4F", "\x68"},  // U+00D0
    {'I', "\x62", "\x19"},  // U+00D1
    {'I', "\x64", "\x0F"},  // U+00D2
    {'I', "\x64", "\x0E"},  // U+00D3
    {'I', "\x64", "\x12"},  // U+00D4
    {'I', "\x64", "\x19"},  // U+00D5
    {'I', "\x64", "\x13"},  // U+00D6
    {'S', "\x33\x09", ""},  // U+00D7
    {'I', "\x64", "\x21"},  // U+00D8
    {'I', "\x6F", "\x0F"},  // U+00D9
    {'I', "\x6F", "\x0E"},  // U+00DA
    {'I', "\x6F", "\x12"},  // U+00DB
    {'I', "\x6F", "\x13"},  // U+00DC
    {'I', "\x76", "\x0E"},  // U+00DD
    {'S', "\x6D\x57", ""},  // U+00DE
    {'S', "\x6B\x6B", ""},  // U+00DF
    {'I', "\x4A", "\x0F"},  // U+00E0
    {'I', "\x4A", "\x0E"},  // U+00E1
    {'I', "\x4A", "\x12"},  // U+00E2
    {'I', "\x4A", "\x19"},  // U+00E3
    {'I', "\x4A", "\x13"},  // U+00E4
    {'I', "\x4A", "\x1A"},  // U+00E5
    {'S', "\x4A\x51", ""},  // U+00E6
    {'I', "\x4D", "\x1C"},  // U+00E7
    {'I', "\x51", "\x0F"},  // U+00E8
    {'I', "\x51", "\x0E"},  // U+00E9
    {'I', "\x51", "\x12"},  // U+00EA
    {'I', "\x51", "\x13"},  // U+00EB
    {'I', "\x59", "\x0F"},  // U+00EC
    {'I', "\x59", "\x0E"},  // U+00ED
    {'I', "\x59", "\x12"},  // U+00EE
    {'I', "\x59", "\x13"},  // U+00EF
    {'I', "\x4F", "\x68"},  // U+00F0
    {'I', "\x62", "\x19"},  // U+00F1
    {'I', "\x64", "\x0F"},  // U+00F2
    {'I', "\x64", "\x0E"},  // U+00F3
    {'I', "\x64", "\x12"},  // U+00F4
    {'I', "\x64", "\x19"},  // U+00F5
    {'I', "\x64", "\x13"},  // U+00F6
    {'S', "\x33\x0A", ""},  // U+00F7
    {'I', "\x64", "\x21"},  // U+00F8
    {'I', "\x6F", "\x0F"},  // U+00F9
    {'I', "\x6F", "\x0E"},  // U+00FA
    {'I', "\x6F", "\x12"},  // U+00FB
    {'I', "\x6F", "\x13"},  // U+00FC
    {'I', "\x76", "\x0E"},  // U+00FD
    {'S', "\x6D\x57", ""},  // U+00FE
    {'I', "\x76", "\x13"},  // U+00FF
};

constexpr CharCode kGeneral2010[256] = {
    {'X', "", ""},                  // U+0000
    {'U', "\x03", ""},              // U+0001
    {'U', "\x04", ""},              // U+0002
    {'U', "\x05", ""},              // U+0003
    {'U', "\x06", ""},              // U+0004
    {'U', "\x07", ""},              // U+0005
    {'U', "\x08", ""},              // U+0006
    {'U', "\x09", ""},              // U+0007
    {'U', "\x0A", ""},              // U+0008
    {'S', "\x07\x05", ""},          // U+0009
    {'S', "\x07\x06", ""},          // U+000A
    {'S', "\x07\x07", ""},          // U+000B
    {'S', "\x07\x08", ""},          // U+000C
    {'S', "\x07\x09", ""},          // U+000D
    {'U', "\x0B", ""},              // U+000E
    {'U', "\x0C", ""},              // U+000F
    {'U', "\x0D", ""},              // U+0010
    {'U', "\x0E", ""},              // U+0011
    {'U', "\x0F", ""},              // U+0012
    {'U', "\x10", ""},              // U+0013
    {'U', "\x11", ""},              // U+0014
    {'U', "\x12", ""},              // U+0015
    {'U', "\x13", ""},              // U+0016
    {'U', "\x14", ""},              // U+0017
    {'U', "\x15", ""},              // U+0018
    {'U', "\x16", ""},              // U+0019
    {'U', "\x17", ""},              // U+001A
    {'U', "\x18", ""},              // U+001B
    {'U', "\x19", ""},              // U+001C
    {'U', "\x1A", ""},              // U+001D
    {'U', "\x1B", ""},              // U+001E
    {'U', "\x1C", ""},              // U+001F
    {'S', "\x07\x02", ""},          // U+0020
    {'S', "\x07\x1C", ""},          // U+0021
    {'S', "\x07\x1D", ""},          // U+0022
    {'S', "\x07\x1F", ""},          // U+0023
    {'S', "\x07\x21", ""},          // U+0024
    {'S', "\x07\x23", ""},          // U+0025
    {'S', "\x07\x25", ""},          // U+0026
    {'U', "\x80", ""},              // U+0027
    {'S', "\x07\x27", ""},          // U+0028
    {'S', "\x07\x2A", ""},          // U+0029
    {'S', "\x07\x2D", ""},          // U+002A
    {'S', "\x08\x03", ""},          // U+002B
    {'S', "\x07\x2F", ""},          // U+002C
    {'U', "\x82", ""},              // U+002D
    {'S', "\x07\x33", ""},          // U+002E
    {'S', "\x07\x35", ""},          // U+002F
    {'S', "\x0D\x17", ""},          // U+0030
    {'S', "\x0D\x19", ""},          // U+0031
    {'S', "\x0D\x1A", ""},          // U+0032
    {'S', "\x0D\x1B", ""},          // U+0033
    {'S', "\x0D\x1C", ""},          // U+0034
    {'S', "\x0D\x1D", ""},          // U+0035
    {'S', "\x0D\x1E", ""},          // U+0036
    {'S', "\x0D\x1F", ""},          // U+0037
    {'S', "\x0D\x20", ""},          // U+0038
    {'S', "\x0D\x21", ""},          // U+0039
    {'S', "\x07\x37", ""},          // U+003A
    {'S', "\x07\x3A", ""},          // U+003B
    {'S', "\x08\x0E", ""},          // U+003C
    {'S', "\x08\x12", ""},          // U+003D
    {'S', "\x08\x14", ""},          // U+003E
    {'S', "\x07\x3C", ""},          // U+003F
    {'S', "\x07\x3E", ""},          // U+0040
    {'S', "\x0E\x02", ""},          // U+0041
    {'S', "\x0E\x09", ""},          // U+0042
    {'S', "\x0E\x0A", ""},          // U+0043
    {'S', "\x0E\x1A", ""},          // U+0044
    {'S', "\x0E\x21", ""},          // U+0045
    {'S', "\x0E\x23", ""},          // U+0046
    {'S', "\x0E\x25", ""},          // U+0047
    {'S', "\x0E\x2C", ""},          // U+0048
    {'S', "\x0E\x32", ""},          // U+0049
    {'S', "\x0E\x35", ""},          // U+004A
    {'S', "\x0E\x36", ""},          // U+004B
    {'S', "\x0E\x48", ""},          // U+004C
    {'S', "\x0E\x51", ""},          // U+004D
    {'S', "\x0E\x70", ""},          // U+004E
    {'S', "\x0E\x7C", ""},          // U+004F
    {'S', "\x0E\x7E", ""},          // U+0050
    {'S', "\x0E\x89", ""},          // U+0051
    {'S', "\x0E\x8A", ""},          // U+0052
    {'S', "\x0E\x91", ""},          // U+0053
    {'S', "\x0E\x99", ""},          // U+0054
    {'S', "\x0E\x9F", ""},          // U+0055
    {'S', "\x0E\xA2", ""},          // U+0056
    {'S', "\x0E\xA4", ""},          // U+0057
    {'S', "\x0E\xA6", ""},          // U+0058
    {'S', "\x0E\xA7", ""},          // U+0059
    {'S', "\x0E\xA9", ""},          // U+005A
    {'S', "\x07\x3F", ""},          // U+005B
    {'S', "\x07\x41", ""},          // U+005C
    {'S', "\x07\x42", ""},          // U+005D
    {'S', "\x07\x43", ""},          // U+005E
    {'S', "\x07\x44", ""},          // U+005F
    {'S', "\x07\x48", ""},          // U+0060
    {'S', "\x0E\x02", ""},          // U+0061
    {'S', "\x0E\x09", ""},          // U+0062
    {'S', "\x0E\x0A", ""},          // U+0063
    {'S', "\x0E\x1A", ""},          // U+0064
    {'S', "\x0E\x21", ""},          // U+0065
    {'S', "\x0E\x23", ""},          // U+0066
    {'S', "\x0E\x25", ""},          // U+0067
    {'S', "\x0E\x2C", ""},          // U+0068
    {'S', "\x0E\x32", ""},          // U+0069
    {'S', "\x0E\x35", ""},          // U+006A
    {'S', "\x0E\x36", ""},          // U+006B
    {'S', "\x0E\x48", ""},          // U+006C
    {'S', "\x0E\x51", ""},          // U+006D
    {'S', "\x0E\x70", ""},          // U+006E
    {'S', "\x0E\x7C", ""},          // U+006F
    {'S', "\x0E\x7E", ""},          // U+0070
    {'S', "\x0E\x89", ""},          // U+0071
    {'S', "\x0E\x8A", ""},          // U+0072
    {'S', "\x0E\x91", ""},          // U+0073
    {'S', "\x0E\x99", ""},          // U+0074
    {'S', "\x0E\x9F", ""},          // U+0075
    {'S', "\x0E\xA2", ""},          // U+0076
    {'S', "\x0E\xA4", ""},          // U+0077
    {'S', "\x0E\xA6", ""},          // U+0078
    {'S', "\x0E\xA7", ""},          // U+0079
    {'S', "\x0E\xA9", ""},          // U+007A
    {'S', "\x07\x4A", ""},          // U+007B
    {'S', "\x07\x4C", ""},          // U+007C
    {'S', "\x07\x4E", ""},          // U+007D
    {'S', "\x07\x50", ""},          // U+007E
    {'U', "\x1D", ""},              // U+007F
    {'I', "\x0C\xFA", "\x1D"},      // U+0080
    {'I', "\x0C\xFA", "\x1E"},      // U+0081
    {'I', "\x0C\xFA", "\x1F"},      // U+0082
    {'I', "\x0C\xFA", "\x20"},      // U+0083
    {'I', "\x0C\xFA", "\x21"},      // U+0084
    {'I', "\x0C\xFA", "\x22"},      // U+0085
    {'I', "\x0C\xFA", "\x23"},      // U+0086
    {'I', "\x0C\xFA", "\x24"},      // U+0087
    {'I', "\x0C\xFA", "\x25"},      // U+0088
    {'I', "\x0C\xFA", "\x26"},      // U+0089
    {'I', "\x0C\xFA", "\x27"},      // U+008A
    {'I', "\x0C\xFA", "\x28"},      // U+008B
    {'I', "\x0C\xFA", "\x29"},      // U+008C
    {'I', "\x0C\xFA", "\x2A"},      // U+008D
    {'I', "\x0C\xFA", "\x2B"},      // U+008E
    {'I', "\x0C\xFA", "\x2C"},      // U+008F
    {'I', "\x0C\xFA", "\x2D"},      // U+0090
    {'I', "\x0C\xFA", "\x2E"},      // U+0091
    {'I', "\x0C\xFA", "\x2F"},      // U+0092
    {'I', "\x0C\xFA", "\x30"},      // U+0093
    {'I', "\x0C\xFA", "\x31"},      // U+0094
    {'I', "\x0C\xFA", "\x32"},      // U+0095
    {'I', "\x0C\xFA", "\x33"},      // U+0096
    {'I', "\x0C\xFA", "\x34"},      // U+0097
    {'I', "\x0C\xFA", "\x35"},      // U+0098
    {'I', "\x0C\xFA", "\x36"},      // U+0099
    {'I', "\x0C\xFA", "\x37"},      // U+009A
    {'I', "\x0C\xFA", "\x38"},      // U+009B
    {'I', "\x0C\xFA", "\x39"},      // U+009C
    {'I', "\x0C\xFA", "\x3A"},      // U+009D
    {'I', "\x0C\xFA", "\x3B"},      // U+009E
    {'I', "\x0C\xFA", "\x3C"},      // U+009F
    {'S', "\x07\x04", ""},          // U+00A0
    {'S', "\x07\x51", ""},          // U+00A1
    {'S', "\x07\x97", ""},          // U+00A2
    {'S', "\x07\x98", ""},          // U+00A3
    {'S', "\x07\x99", ""},          // U+00A4
    {'S', "\x07\x9A", ""},          // U+00A5
    {'S', "\x07\x52", ""},          // U+00A6
    {'S', "\x0A\x06", ""},          // U+00A7
    {'S', "\x07\x53", ""},          // U+00A8
    {'S', "\x0A\x07", ""},          // U+00A9
    {'I', "\x0E\x02", "\x03"},      // U+00AA
    {'S', "\x08\x18", ""},          // U+00AB
    {'S', "\x0A\x08", ""},          // U+00AC
    {'X', "", ""},                  // U+00AD
    {'S', "\x0A\x09", ""},          // U+00AE
    {'S', "\x07\x54", ""},          // U+00AF
    {'S', "\x0A\x0A", ""},          // U+00B0
    {'S', "\x08\x17", ""},          // U+00B1
    {'S', "\x0D\x1A", ""},          // U+00B2
    {'S', "\x0D\x1B", ""},          // U+00B3
    {'S', "\x07\x55", ""},          // U+00B4
    {'S', "\x0A\x0B", ""},          // U+00B5
    {'S', "\x0A\x0C", ""},          // U+00B6
    {'S', "\x0A\x0D", ""},          // U+00B7
    {'S', "\x07\x56", ""},          // U+00B8
    {'S', "\x0D\x19", ""},          // U+00B9
    {'I', "\x0E\x7C", "\x03"},      // U+00BA
    {'S', "\x08\x1A", ""},          // U+00BB
    {'I', "\x0D\x18", "\xCE"},      // U+00BC
    {'I', "\x0D\x18", "\xD6"},      // U+00BD
    {'I', "\x0D\x1B", "\xDE"},      // U+00BE
    {'S', "\x07\x57", ""},          // U+00BF
    {'I', "\x0E\x02", "\x0F"},      // U+00C0
    {'I', "\x0E\x02", "\x0E"},      // U+00C1
    {'I', "\x0E\x02", "\x12"},      // U+00C2
    {'I', "\x0E\x02", "\x19"},      // U+00C3
    {'I', "\x0E\x02", "\x13"},      // U+00C4
    {'I', "\x0E\x02", "\x1A"},      // U+00C5
    {'S', "\x0E\x02\x0E\x21", ""},  // U+00C6
    {'I', "\x0E\x0A", "\x1C"},      // U+00C7
    {'I', "\x0E\x21", "\x0F"},      // U+00C8
    {'I', "\x0E\x21", "\x0E"},      // U+00C9
    {'I', "\x0E\x21", "\x12"},      // U+00CA
    {'I', "\x0E\x21", "\x13"},      // U+00CB
    {'I', "\x0E\x32", "\x0F"},      // U+00CC
    {'I', "\x0E\x32", "\x0E"},      // U+00CD
    {'I', "\x0E\x32", "\x12"},      // U+00CE
    {'I', "\x0E\x32", "\x13"},      // U+00CF
    {'I', "\x0E\x1A", "\x68"},      // U+00D0
    {'I', "\x0E\x70", "\x19"},      // U+00D1
    {'I', "\x0E\x7C", "\x0F"},      // U+00D2
    {'I', "\x0E\x7C", "\x0E"},      // U+00D3
    {'I', "\x0E\x7C", "\x12"},      // U+00D4
    {'I', "\x0E\x7C", "\x19"},      // U+00D5
    {'I', "\x0E\x7C", "\x13"},      // U+00D6
    {'S', "\x08\x1C", ""},          // U+00D7
    {'I', "\x0E\x7C", "\x21"},      // U+00D8
    {'I', "\x0E\x9F", "\x0F"},      // U+00D9
    {'I', "\x0E\x9F", "\x0E"},      // U+00DA
    {'I', "\x0E\x9F", "\x12"},      // U+00DB
    {'S', "\x0E\x9F\x0E\x21", ""},  // U+00DC
    {'I', "\x0E\xA7", "\x0E"},      // U+00DD
    {'S', "\x0E\x99\x0E\x2C", ""},  // U+00DE
    {'S', "\x0E\x91\x0E\x91", ""},  // U+00DF
    {'I', "\x0E\x02", "\x0F"},      // U+00E0
    {'I', "\x0E\x02", "\x0E"},      // U+00E1
    {'I', "\x0E\x02", "\x12"},      // U+00E2
    {'I', "\x0E\x02", "\x19"},      // U+00E3
    {'I', "\x0E\x02", "\x13"},      // U+00E4
    {'I', "\x0E\x02", "\x1A"},      // U+00E5
    {'S', "\x0E\x02\x0E\x21", ""},  // U+00E6
    {'I', "\x0E\x0A", "\x1C"},      // U+00E7
    {'I', "\x0E\x21", "\x0F"},      // U+00E8
    {'I', "\x0E\x21", "\x0E"},      // U+00E9
    {'I', "\x0E\x21", "\x12"},      // U+00EA
    {'I', "\x0E\x21", "\x13"},      // U+00EB
    {'I', "\x0E\x32", "\x0F"},      // U+00EC
    {'I', "\x0E\x32", "\x0E"},      // U+00ED
    {'I', "\x0E\x32", "\x12"},      // U+00EE
    {'I', "\x0E\x32", "\x13"},      // U+00EF
    {'I', "\x0E\x1A", "\x68"},      // U+00F0
    {'I', "\x0E\x70", "\x19"},      // U+00F1
    {'I', "\x0E\x7C", "\x0F"},      // U+00F2
    {'I', "\x0E\x7C", "\x0E"},      // U+00F3
    {'I', "\x0E\x7C", "\x12"},      // U+00F4
    {'I', "\x0E\x7C", "\x19"},      // U+00F5
    {'I', "\x0E\x7C", "\x13"},      // U+00F6
    {'S', "\x08\x1D", ""},          // U+00F7
    {'I', "\x0E\x7C", "\x21"},      // U+00F8
    {'I', "\x0E\x9F", "\x0F"},      // U+00F9
    {'I', "\x0E\x9F", "\x0E"},      // U+00FA
    {'I', "\x0E\x9F", "\x12"},      // U+00FB
    {'S', "\x0E\x9F\x0E\x21", ""},  // U+00FC
    {'I', "\x0E\xA7", "\x0E"},      // U+00FD
    {'S', "\x0E\x99\x0E\x2C", ""},  // U+00FE
    {'I', "\x0E\xA7", "\x13"},      // U+00FF
};

constexpr std::uint8_t kStartAscending = 0x7f;
constexpr std::uint8_t kStartDescending = 0x80;
constexpr std::uint8_t kNullAscending = 0x00;
constexpr std::uint8_t kNullDescending = 0xff;
constexpr std::uint8_t kEndText = 0x01;
constexpr std::uint8_t kEndExtra = 0x00;
constexpr std::uint8_t kAccentPlaceholder = 0x02;
constexpr std::uint8_t kUnprintableMidfix = 0x06;
constexpr std::size_t kMaxIndexedChars = 255;

// One character's code, whichever table it comes from.
struct CharKey {
  char type = 'R';
  std::uint8_t inl[12] = {};
  std::size_t inlLen = 0;
  std::uint8_t extra[4] = {};
  std::size_t extraLen = 0;
};

void CopyCodes(std::uint8_t* to, std::size_t& len, std::size_t cap, const char* codes) {
  len = 0;
  for (const char* p = codes; *p && len < cap; ++p) to[len++] = static_cast<std::uint8_t>(*p);
}

// The code of `cp` in a run: the run's first code with step * (cp - first) added, the last byte
// counting 02..FF and carrying into the bytes before it.
CharKey FromRun(const collation::CodeRun& run, std::uint32_t cp) {
  CharKey k;
  k.type = run.type;
  k.inlLen = run.inlLen;
  k.extraLen = run.extraLen;
  std::copy(run.inl, run.inl + run.inlLen, k.inl);
  std::copy(run.extra, run.extra + run.extraLen, k.extra);
  std::uint32_t add = (cp - run.first) * run.step;
  if (add == 0 || k.inlLen == 0) return k;
  std::uint32_t low = static_cast<std::uint32_t>(k.inl[k.inlLen - 1] - 2) + add;
  k.inl[k.inlLen - 1] = static_cast<std::uint8_t>(low % 254 + 2);
  std::uint32_t carry = low / 254;
  for (std::size_t i = k.inlLen - 1; carry && i-- > 0;) {
    std::uint32_t b = k.inl[i] + carry;
    k.inl[i] = static_cast<std::uint8_t>(b & 0xff);
    carry = b >> 8;
  }
  return k;
}

CharKey Lookup(std::uint32_t cp, const CharCode* latin1, int version) {
  CharKey k;
  const CharCode* code = nullptr;
  if (cp >= 1 && cp <= 0xff)
    code = &latin1[cp];
  else if (cp >= collation::kExtendedFirst && cp <= collation::kExtendedLast)
    code = &collation::ExtendedCharCode(cp, version);
  if (code) {
    k.type = code->type;
    CopyCodes(k.inl, k.inlLen, sizeof k.inl, code->inl);
    CopyCodes(k.extra, k.extraLen, sizeof k.extra, code->extra);
    return k;
  }
  if (cp > collation::kExtendedLast && cp <= 0xffff) {
    const auto runs = collation::BlockRuns(version);
    auto it = std::upper_bound(runs.begin(), runs.end(), cp,
                               [](std::uint32_t c, const collation::CodeRun& r) { return c < r.first; });
    if (it != runs.begin()) {
      const collation::CodeRun& run = *(it - 1);
      if (cp < static_cast<std::uint32_t>(run.first) + run.count) return FromRun(run, cp);
    }
  }
  return k;  // refused
}

// Kana flags: the first one in the top bits of a byte that starts as 0x80, three to a byte.
constexpr std::uint8_t kKanaStart = 0x80;
constexpr std::uint8_t kKanaSmall = 0x02;
constexpr std::uint8_t kKanaPlain = 0x03;
constexpr std::uint8_t kKanaEnd[] = {0xff, 0x02, 0x80, 0xff, 0x80};
constexpr std::uint8_t kKanaBeforeUnprintable = 0xff;

// After the main part of a text key: the accent part, then (when there are any) the kana flags
// and the unprintable characters, each behind its end marks.
void AppendTextParts(Bytes& out, Bytes& accents, const Bytes& unprintables, Bytes& kana) {
  out.push_back(kEndText);
  // trailing placeholders (and zero bytes) carry nothing and are left out
  while (!accents.empty() && accents.back() <= kAccentPlaceholder) accents.pop_back();
  out.insert(out.end(), accents.begin(), accents.end());
  if (!unprintables.empty() || !kana.empty()) {
    out.push_back(kEndText);
    out.push_back(kEndText);
    if (!kana.empty()) {
      // flags of plain kana at the end carry nothing; the end marks come even when none is left
      while (!kana.empty() && kana.back() == kKanaPlain) kana.pop_back();
      for (std::size_t i = 0; i < kana.size(); i += 3) {
        std::uint8_t b = kKanaStart;
        for (std::size_t j = 0; j < 3 && i + j < kana.size(); ++j)
          b = static_cast<std::uint8_t>(b | (kana[i + j] << ((2 - j) * 2)));
        out.push_back(b);
      }
      out.insert(out.end(), std::begin(kKanaEnd), std::end(kKanaEnd));
      if (!unprintables.empty()) out.push_back(kKanaBeforeUnprintable);
    }
    if (!unprintables.empty()) {
      out.push_back(kEndText);
      out.insert(out.end(), unprintables.begin(), unprintables.end());
    }
  }
}

// The character codes of a text value followed by the end marks, inverted for a descending
// column (the start byte is the caller's).
void AppendTextCodes(Bytes& out, std::string_view utf8, const SortOrder& sort, bool ascending,
                     const std::string& where) {
  if (sort.id != 0x0409)
    CannotKey("Index keys for text in the sort order " + std::to_string(sort.id) +
                  " cannot be made yet (only the General order, 1033, can).",
              where);
  if (sort.version == kSortVersionJet3) {
    collation::AppendGeneral97Text(out, utf8, sort.codePage, ascending, where);
    return;
  }
  if (sort.version > 1)
    CannotKey("Index keys for text in version " + std::to_string(sort.version) +
                  " of the General sort order cannot be made yet.",
              where);
  const CharCode* table = sort.version == 0 ? kGeneralLegacy : kGeneral2010;
  std::vector<std::uint32_t> chars = CodePoints(utf8, where);
  if (chars.size() > kMaxIndexedChars) chars.resize(kMaxIndexedChars);
  // Spaces at the end of the (cut) text do not count: "ab" and "ab  " have one key, as in the
  // indexes Access keeps (a unique index holds only one of them).
  while (!chars.empty() && chars.back() == 0x20) chars.pop_back();

  const std::size_t start = out.size();
  Bytes accents;  // the accent part, one entry per coded character once begun
  bool accentsBegun = false;
  std::size_t accentChars = 0;   // characters the accent part accounts for
  std::size_t accentPrefix = 0;  // 1 when a modifier began the accent part on its own
  Bytes unprintables;
  Bytes kana;                // one flag per kana character
  std::size_t position = 0;  // characters written to the main part so far
  for (std::uint32_t cp : chars) {
    const CharKey code = Lookup(cp, table, sort.version);
    if (code.type == 'R')
      CannotKey("The character " + CharName(cp) +
                    " cannot be placed in an index yet: its place in the General sort order is not known "
                    "(see the characters index keys are known for in the documentation of Access writing).",
                where);
    const std::size_t at = position;
    auto fillAccents = [&] {
      accentsBegun = true;
      // every coded character before this one that has no accent gets a placeholder
      while (accentChars < at) {
        accents.push_back(kAccentPlaceholder);
        ++accentChars;
      }
    };
    switch (code.type) {
      case 'X':
        break;
      case 'S':
        out.insert(out.end(), code.inl, code.inl + code.inlLen);
        ++position;
        break;
      case 'I':
      case 'Z':
      case 'z':
        out.insert(out.end(), code.inl, code.inl + code.inlLen);
        ++position;
        if (code.extraLen > 0) {
          fillAccents();
          accents.insert(accents.end(), code.extra, code.extra + code.extraLen);
          ++accentChars;
        }
        if (code.type != 'I') kana.push_back(code.type == 'Z' ? kKanaSmall : kKanaPlain);
        break;
      case 'M':
        // the mark changes the accent byte of the character before it
        fillAccents();
        if (!accents.empty()) {
          accents.back() = static_cast<std::uint8_t>(accents.back() + code.inl[0]);
        } else {
          accents.push_back(code.inl[0]);
          accentPrefix = 1;
        }
        break;
      case 'U': {
        // the place counts the accent bytes written and the characters still to come there
        std::size_t place = accentsBegun ? accents.size() + (at - accentChars) - accentPrefix : at;
        const std::size_t offset = (7 + 4 * place) | 0x8000;
        unprintables.push_back(static_cast<std::uint8_t>(offset >> 8));
        unprintables.push_back(static_cast<std::uint8_t>(offset & 0xff));
        unprintables.push_back(kUnprintableMidfix);
        unprintables.insert(unprintables.end(), code.inl, code.inl + code.inlLen);
        break;
      }
      default:
        CannotKey("The character " + CharName(cp) + " cannot be placed in an index yet.", where);
    }
  }
  AppendTextParts(out, accents, unprintables, kana);
  if (!ascending) {
    out.push_back(kEndExtra);
    for (std::size_t i = start; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
  }
  out.push_back(kEndExtra);
}

// Groups of 8 bytes followed by 0x09 while more follow; the last group zero-padded and followed
// by its count of real bytes. Descending: the bytes of each group and the last count inverted.
void AppendBinary(Bytes& out, const Bytes& value, bool ascending) {
  std::size_t pos = 0;
  while (value.size() - pos > 8) {
    for (std::size_t i = 0; i < 8; ++i)
      out.push_back(ascending ? value[pos + i] : static_cast<std::uint8_t>(~value[pos + i]));
    out.push_back(0x09);
    pos += 8;
  }
  const std::size_t left = value.size() - pos;
  if (left == 0) return;
  for (std::size_t i = 0; i < 9; ++i) {
    std::uint8_t b = i < left ? value[pos + i] : (i == 8 ? static_cast<std::uint8_t>(left) : 0);
    out.push_back(ascending ? b : static_cast<std::uint8_t>(~b));
  }
}

void AppendColumn(Bytes& out, const TableDefinition& table, const ColumnDef& c, const qv::Value& v,
                  bool ascending, const SortOrder& sort) {
  const std::string where = table.name + "." + c.name;
  auto unsupported = [&](const char* what) {
    CannotKey(std::string("Column '") + c.name + "' of table '" + table.name +
                  "' is indexed, and index keys for " + what + " columns cannot be made yet.",
              where);
  };
  if (c.type == col_type::kBoolean) {
    bool yes = false;
    if (!IsNull(v)) yes = EncodeValue(c, v, table.name).flag;
    out.push_back(ascending ? kStartAscending : kStartDescending);
    out.push_back(yes == ascending ? 0x00 : 0xff);
    return;
  }
  switch (c.type) {
    case col_type::kByte:
    case col_type::kInt16:
    case col_type::kInt32:
    case col_type::kBigInt:
    case col_type::kCurrency:
    case col_type::kSingle:
    case col_type::kDouble:
    case col_type::kDateTime:
    case col_type::kGuid:
    case col_type::kBinary:
    case col_type::kText:
    case col_type::kMemo:
      break;
    case col_type::kNumeric:
      unsupported("Decimal");
      break;
    case col_type::kOle:
      unsupported("OLE object");
      break;
    case col_type::kComplex:
      unsupported("attachment and multi-value");
      break;
    case col_type::kDateTimeExt:
      unsupported("Date/Time Extended");
      break;
    default:
      unsupported("this type of");
  }
  if (IsNull(v)) {
    out.push_back(ascending ? kNullAscending : kNullDescending);
    return;
  }
  if (c.type == col_type::kText || c.type == col_type::kMemo) {
    out.push_back(ascending ? kStartAscending : kStartDescending);
    if (auto s = std::get_if<std::string>(&v)) {
      AppendTextCodes(out, *s, sort, ascending, where);
    } else {
      // a typed value in a text column is stored (and keyed) as its text
      auto t = FormatValueText(v);
      AppendTextCodes(out, t ? *t : std::string(), sort, ascending, where);
    }
    return;
  }
  EncodedValue e = EncodeValue(c, v, table.name);
  if (e.null) {
    out.push_back(ascending ? kNullAscending : kNullDescending);
    return;
  }
  out.push_back(ascending ? kStartAscending : kStartDescending);
  Bytes b = e.bytes;
  switch (c.type) {
    case col_type::kByte:
      if (!ascending) b[0] = static_cast<std::uint8_t>(~b[0]);
      break;
    case col_type::kInt16:
    case col_type::kInt32:
    case col_type::kBigInt:
    case col_type::kCurrency:
      std::reverse(b.begin(), b.end());
      b[0] ^= 0x80;
      if (!ascending)
        for (auto& x : b) x = static_cast<std::uint8_t>(~x);
      break;
    case col_type::kSingle:
    case col_type::kDouble:
    case col_type::kDateTime: {
      std::reverse(b.begin(), b.end());
      const bool negative = (b[0] & 0x80) != 0;
      if (!negative) b[0] ^= 0x80;
      if (negative == ascending)
        for (auto& x : b) x = static_cast<std::uint8_t>(~x);
      break;
    }
    case col_type::kGuid:
      // the row keeps the first three groups little-endian; the key has the text order
      std::reverse(b.begin(), b.begin() + 4);
      std::reverse(b.begin() + 4, b.begin() + 6);
      std::reverse(b.begin() + 6, b.begin() + 8);
      AppendBinary(out, b, ascending);
      return;
    case col_type::kBinary:
      AppendBinary(out, b, ascending);
      return;
    default:
      break;
  }
  out.insert(out.end(), b.begin(), b.end());
}

}  // namespace

Bytes TextIndexKey(std::string_view utf8, const SortOrder& sort) {
  Bytes out{kStartAscending};
  AppendTextCodes(out, utf8, sort, true, "text index key");
  return out;
}

Bytes IndexKey(const TableDefinition& table, std::size_t realIndex, const qv::Row& row,
               const SortOrder& sort) {
  if (realIndex >= table.realIndexes.size())
    throw Error(errc::kInvalidArgument,
                "Table '" + table.name + "' has no index number " + std::to_string(realIndex) + ".",
                table.name);
  if (row.size() != table.columns.size())
    throw Error(errc::kInvalidArgument,
                "An index key of table '" + table.name + "' needs " + std::to_string(table.columns.size()) +
                    " values, " + std::to_string(row.size()) + " were given.",
                table.name);
  Bytes out;
  for (const auto& part : table.realIndexes[realIndex].columns) {
    std::size_t at = table.columns.size();
    for (std::size_t i = 0; i < table.columns.size(); ++i)
      if (table.columns[i].number == part.columnNumber) at = i;
    if (at == table.columns.size())
      ThrowCorrupt("index of table '" + table.name + "' names column number " +
                       std::to_string(part.columnNumber) + ", which the table does not have",
                   table.name);
    AppendColumn(out, table, table.columns[at], row[at], part.ascending, sort);
  }
  return out;
}

}  // namespace qv::jet
