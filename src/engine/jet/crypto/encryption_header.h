// Reading the encryption information kept in page 0 of an Access database (offsets in
// docs/formats/jet-encryption.md): the page-encoding key that says whether pages are encrypted at
// all, and for ACE databases the Office encryption structure that says how.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/bytes.h"
#include "engine/jet/crypto/agile_descriptor.h"
#include "engine/jet/crypto/page_codec.h"

namespace qv::jet::crypto {

// Page 0 places.
inline constexpr std::size_t kVersionOffset = 0x14;     // 0 Jet3, 1 Jet4, 2 and up ACE
inline constexpr std::size_t kHeaderMaskOffset = 0x18;  // start of the RC4-masked header area
// The fixed RC4 key of that mask, the same in every Jet and ACE file.
inline constexpr std::array<std::uint8_t, 4> kHeaderMaskKey = {0xc7, 0xda, 0x39, 0x6b};
inline constexpr std::size_t kEncodingKeyOffset = 0x3e;  // 4 bytes, inside the masked area
inline constexpr std::size_t kCryptInfoOffset = 0x299;   // u16 length, then the Office structure
inline constexpr std::uint8_t kFirstAceVersion = 2;

// EncryptionHeader and EncryptionVerifier of the binary (RC4 and AES) schemes.
struct BinaryCryptHeader {
  std::uint32_t flags = 0;
  std::uint32_t algorithmId = 0;
  std::uint32_t hashAlgorithmId = 0;
  std::uint32_t keyBits = 0;  // after the provider default for 0 is applied
  std::uint32_t providerType = 0;
  std::string providerName;  // the CSP name, ASCII letters only (descriptions)
  std::array<std::uint8_t, 16> salt{};
  std::array<std::uint8_t, 16> encryptedVerifier{};
  std::uint32_t verifierHashSize = 0;
  Bytes encryptedVerifierHash;  // 20 bytes for RC4, 32 for AES
};

struct CryptInfo {
  Scheme scheme = Scheme::kNone;
  std::uint8_t formatVersion = 0;  // page 0 byte 0x14
  std::uint16_t versionMajor = 0;  // of the Office structure
  std::uint16_t versionMinor = 0;
  std::array<std::uint8_t, 4> encodingKey{};
  BinaryCryptHeader binary;  // kRc4CryptoApi, kAesStandard, kAesNonStandard
  AgileDescriptor agile;     // kAgile
};

// Office structure flags.
inline constexpr std::uint32_t kFlagCryptoApi = 0x04;
inline constexpr std::uint32_t kFlagExternal = 0x10;
inline constexpr std::uint32_t kFlagAes = 0x20;
// Algorithm identifiers of the binary header.
inline constexpr std::uint32_t kAlgRc4 = 0x6801;
inline constexpr std::uint32_t kAlgAes128 = 0x660e;
inline constexpr std::uint32_t kAlgAes192 = 0x660f;
inline constexpr std::uint32_t kAlgAes256 = 0x6610;
inline constexpr std::uint32_t kAlgSha1 = 0x8004;

// Reads page 0 exactly as stored in the file. `file` only names the place in errors.
// Damaged structures give kCorrupt, schemes this engine does not implement give kEncrypted.
CryptInfo ReadCryptInfo(std::span<const std::uint8_t> page0, std::string_view file);

// Page 0's header area with the fixed RC4 mask removed (only the first `length` bytes from 0x18).
Bytes UnmaskHeader(std::span<const std::uint8_t> page0, std::size_t length);

}  // namespace qv::jet::crypto
