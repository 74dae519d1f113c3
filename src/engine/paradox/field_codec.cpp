#include "engine/paradox/field_codec.h"

#include <cstring>
#include <stdexcept>

#include "engine/core/bytes.h"

namespace qv::paradox {

std::optional<std::int16_t> DecodeShort(const std::uint8_t* p) {
  const std::uint16_t raw = LoadU16BE(p);
  if (raw == 0) return std::nullopt;
  return static_cast<std::int16_t>(raw ^ 0x8000u);
}

std::optional<std::int32_t> DecodeLong(const std::uint8_t* p) {
  const std::uint32_t raw = LoadU32BE(p);
  if (raw == 0) return std::nullopt;
  return static_cast<std::int32_t>(raw ^ 0x80000000u);
}

std::optional<double> DecodeDouble(const std::uint8_t* p) {
  std::uint64_t raw = LoadU64BE(p);
  if (raw == 0) return std::nullopt;
  if (raw & 0x8000000000000000ull)
    raw &= 0x7FFFFFFFFFFFFFFFull;
  else
    raw = ~raw;
  double d;
  std::memcpy(&d, &raw, sizeof d);
  return d;
}

Timestamp TimestampFromDays(std::int64_t days, std::int64_t ms) {
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(kDayOneEpoch + days - 1, y, m, d);
  Timestamp t;
  t.year = static_cast<std::int32_t>(y);
  t.month = static_cast<std::uint8_t>(m);
  t.day = static_cast<std::uint8_t>(d);
  t.hour = static_cast<std::uint8_t>(ms / 3'600'000);
  t.minute = static_cast<std::uint8_t>(ms / 60'000 % 60);
  t.second = static_cast<std::uint8_t>(ms / 1000 % 60);
  t.millisecond = static_cast<std::uint16_t>(ms % 1000);
  return t;
}

std::optional<BcdValue> DecodeBcd(const std::uint8_t* p, std::uint8_t decimals) {
  // Bit 6 clear marks a blank value: 17 zero bytes, or the decimals count alone (BDE 7).
  if ((p[0] & 0x40) == 0) return std::nullopt;
  if ((p[0] & 0x3F) != decimals)
    throw std::invalid_argument("BCD value carries " + std::to_string(p[0] & 0x3F) + " decimals, its field " +
                                std::to_string(decimals));
  BcdValue v;
  v.negative = (p[0] & 0x80) == 0;
  const std::uint8_t flip = v.negative ? 0x0F : 0x00;
  const int firstFraction = 34 - decimals;
  for (int i = 2; i < 34; ++i) {
    const std::uint8_t byte = p[i / 2];
    const std::uint8_t nibble = static_cast<std::uint8_t>(((i % 2) ? (byte & 0x0F) : (byte >> 4)) ^ flip);
    if (nibble > 9) {
      if (i < firstFraction)
        throw std::invalid_argument("BCD value has a non-decimal digit in its integer part");
      v.truncated = true;
      break;
    }
    if (i < firstFraction) {
      if (!v.integerDigits.empty() || nibble != 0) v.integerDigits.push_back(static_cast<char>('0' + nibble));
    } else {
      v.fractionDigits.push_back(static_cast<char>('0' + nibble));
    }
  }
  return v;
}

std::string BcdToDecimalText(const BcdValue& v) {
  std::string text;
  const bool zero = v.integerDigits.empty() && v.fractionDigits.find_first_not_of('0') == std::string::npos;
  if (v.negative && !zero) text.push_back('-');
  text += v.integerDigits.empty() ? "0" : v.integerDigits;
  if (!v.fractionDigits.empty()) text += "." + v.fractionDigits;
  return text;
}

bool EncodeBcd(std::uint8_t* p, std::uint8_t decimals, const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string intPart, fracPart;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') intPart.push_back(text[i++]);
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') fracPart.push_back(text[i++]);
  }
  if (i != text.size() || (intPart.empty() && fracPart.empty())) return false;
  intPart.erase(0, intPart.find_first_not_of('0') == std::string::npos ? intPart.size()
                                                                       : intPart.find_first_not_of('0'));
  while (fracPart.size() > decimals) {
    if (fracPart.back() != '0') return false;  // more decimals than the field keeps
    fracPart.pop_back();
  }
  fracPart.resize(decimals, '0');
  if (intPart.size() > std::size_t{32} - decimals) return false;
  const bool zero = intPart.empty() && fracPart.find_first_not_of('0') == std::string::npos;
  if (zero) negative = false;
  const std::string digits = std::string(32 - decimals - intPart.size(), '0') + intPart + fracPart;
  const std::uint8_t flip = negative ? 0x0F : 0x00;
  std::memset(p, 0, 17);
  p[0] = static_cast<std::uint8_t>((negative ? 0x40 : 0xC0) | decimals);
  for (int k = 0; k < 32; ++k) {
    const auto nibble = static_cast<std::uint8_t>((digits[static_cast<std::size_t>(k)] - '0') ^ flip);
    const int pos = k + 2;
    if (pos % 2)
      p[pos / 2] = static_cast<std::uint8_t>(p[pos / 2] | nibble);
    else
      p[pos / 2] = static_cast<std::uint8_t>(p[pos / 2] | (nibble << 4));
  }
  return true;
}

}  // namespace qv::paradox
