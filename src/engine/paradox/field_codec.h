// Byte coding of fixed-size field values (docs/formats/paradox.md, "Field values"). Numbers are
// big-endian with the sign bit inverted so that records sort bytewise; all-zero bytes are the
// blank value, so a stored zero is never all zeros.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "engine/core/bytes.h"
#include "engine/core/value.h"

namespace qv::paradox {

// Decoders: std::nullopt for a blank value.
std::optional<std::int16_t> DecodeShort(const std::uint8_t* p);
std::optional<std::int32_t> DecodeLong(const std::uint8_t* p);
std::optional<double> DecodeDouble(const std::uint8_t* p);

// Inline: the writer calls these for most values of every row.
inline void EncodeShort(std::uint8_t* p, std::int16_t v) {
  StoreU16BE(p, static_cast<std::uint16_t>(static_cast<std::uint16_t>(v) ^ 0x8000u));
}
inline void EncodeLong(std::uint8_t* p, std::int32_t v) {
  StoreU32BE(p, static_cast<std::uint32_t>(v) ^ 0x80000000u);
}
inline void EncodeDouble(std::uint8_t* p, double v) {
  std::uint64_t raw;
  std::memcpy(&raw, &v, sizeof raw);
  raw = (raw & 0x8000000000000000ull) ? ~raw : (raw | 0x8000000000000000ull);
  StoreU64BE(p, raw);
}

// Dates count days with 1 = 0001-01-01 (proleptic Gregorian); timestamps count milliseconds
// from the start of day 0.
inline constexpr std::int64_t kDayOneEpoch = -719162;  // days from 1970-01-01 back to 0001-01-01
Timestamp TimestampFromDays(std::int64_t days, std::int64_t millisecondOfDay = 0);
inline std::int64_t DaysFromTimestamp(const Timestamp& t) {
  return DaysFromCivil(t.year, t.month, t.day) - kDayOneEpoch + 1;
}
inline std::int64_t MillisecondOfDay(const Timestamp& t) {
  return ((std::int64_t{t.hour} * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}
inline constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

// BCD: byte 0 holds the sign (bit 7 set: positive), a not-blank mark (bit 6) and the count of
// decimals (bits 0-5); 32 digit nibbles follow, complemented for negative values.
struct BcdValue {
  bool negative = false;
  std::string integerDigits;   // without leading zeros, may be empty
  std::string fractionDigits;  // exactly `decimals` digits unless truncated
  bool truncated = false;      // a nibble above 9 ended the digits (BDE float noise)
};
// nullopt for blank; throws std::invalid_argument (caught by the caller) on a damaged value.
std::optional<BcdValue> DecodeBcd(const std::uint8_t* p, std::uint8_t decimals);
// "-12.3400" style text (no point when there are no decimals), "0" for zero integer parts.
std::string BcdToDecimalText(const BcdValue& v);
// Encodes canonical decimal text with at most 32 - decimals integer digits; false when the text
// does not fit (too many digits, or more decimals than the field keeps).
bool EncodeBcd(std::uint8_t* p, std::uint8_t decimals, const std::string& text);

}  // namespace qv::paradox
