// The XML descriptor of agile encryption (version 4.4): which cipher, hash and salt encrypt the
// pages (keyData) and how the password unlocks the page key (the password key encryptor).
// Only the attributes the scheme needs are read; docs/formats/jet-encryption.md lists them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/bytes.h"
#include "engine/jet/crypto/primitives.h"

namespace qv::jet::crypto {

// The attributes keyData and p:encryptedKey share.
struct AgileCipherParams {
  std::uint32_t keyBits = 0;
  std::uint32_t blockSize = 0;
  std::uint32_t hashSize = 0;
  HashAlgorithm hash = HashAlgorithm::kSha1;
  std::string hashName;  // as written, for descriptions
  Bytes salt;
};

struct AgileDescriptor {
  AgileCipherParams keyData;
  AgileCipherParams password;
  std::uint32_t spinCount = 0;
  Bytes encryptedVerifierHashInput;
  Bytes encryptedVerifierHashValue;
  Bytes encryptedKeyValue;
};

// Highest spin count accepted: the Office documents cap it at ten million, and a damaged
// descriptor must not make the password check run for hours.
inline constexpr std::uint32_t kMaxSpinCount = 10'000'000;

// Parses the descriptor. `where` names the descriptor's place (file, page 0, offset) for errors.
// A descriptor that is damaged gives kCorrupt; one that asks for a cipher, chaining or hash this
// engine does not implement gives kEncrypted.
AgileDescriptor ParseAgileDescriptor(std::string_view xml, const std::string& where);

// Standard base64 (RFC 4648) with optional padding; whitespace is skipped. False on any other
// character or a truncated group.
bool DecodeBase64(std::string_view text, Bytes& out);

}  // namespace qv::jet::crypto
