#include "engine/jet/write/text_key_fallback.h"

#include "engine/core/error.h"

namespace qv::jet {

namespace {

// Codes of 'a'..'z' (0 = not seen in any Access-made key we could check).
constexpr std::uint8_t kJet4Letters[26] = {0x4a, 0x4c, 0x4d, 0x4f, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5b, 0,    0x5e, 0x60,
                                           0x62, 0x64, 0x66, 0x68, 0x69, 0x6b, 0x6d, 0x6f, 0x71, 0x73, 0x75, 0x76, 0};
constexpr std::uint16_t kAce14Letters[26] = {0x0e02, 0x0e09, 0x0e0a, 0x0e1a, 0x0e21, 0x0e23, 0x0e25, 0x0e2c, 0x0e32,
                                             0x0e35, 0,      0x0e48, 0x0e51, 0x0e70, 0x0e7c, 0x0e7e, 0x0e89, 0x0e8a,
                                             0x0e91, 0x0e99, 0x0e9f, 0x0ea2, 0,      0x0ea6, 0x0ea7, 0};
// '0'..'9' in the ACE14 order.
constexpr std::uint16_t kAce14Digits[10] = {0x0d17, 0x0d19, 0x0d1a, 0x0d1b, 0x0d1c, 0x0d1d, 0x0d1e, 0x0d1f, 0x0d20, 0x0d21};

[[noreturn]] void Unknown(char c, std::string_view text, const std::string& table) {
  throw Error(errc::kNotSupported, "No index key is known for the character '" + std::string(1, c) + "' of '" +
                                       std::string(text) + "' (table '" + table + "').");
}

}  // namespace

Bytes TextIndexKeyFallback(std::string_view text, const SortOrder& sort, const std::string& table) {
  Bytes key{0x7f};
  bool wide = sort.version >= 1;
  for (char c : text) {
    char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (wide) {
      std::uint16_t code = 0;
      if (lower >= 'a' && lower <= 'z') code = kAce14Letters[lower - 'a'];
      else if (lower >= '0' && lower <= '9') code = kAce14Digits[lower - '0'];
      else if (lower == '_') code = 0x0744;
      if (!code) Unknown(c, text, table);
      key.push_back(static_cast<std::uint8_t>(code >> 8));
      key.push_back(static_cast<std::uint8_t>(code));
    } else {
      if (lower >= 'a' && lower <= 'z' && kJet4Letters[lower - 'a']) {
        key.push_back(kJet4Letters[lower - 'a']);
      } else if (lower == '0') {
        key.push_back(0x36);
      } else if (lower == '_') {
        key.push_back(0x2b);
        key.push_back(0x03);
      } else {
        Unknown(c, text, table);
      }
    }
  }
  key.push_back(0x01);
  key.push_back(0x00);
  return key;
}

}  // namespace qv::jet
