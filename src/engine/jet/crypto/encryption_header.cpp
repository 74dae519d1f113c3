#include "engine/jet/crypto/encryption_header.h"

#include <algorithm>
#include <cctype>

#include "engine/core/error.h"
#include "engine/jet/crypto/primitives.h"

namespace qv::jet::crypto {
namespace {

constexpr std::uint32_t kAgileReserved = 0x40;
constexpr std::uint32_t kBinaryHeaderFixedSize = 32;  // eight u32 fields before the CSP name
constexpr std::uint32_t kVerifierSaltSize = 16;
constexpr std::uint32_t kSha1Size = 20;

[[noreturn]] void ThrowUnsupported(const std::string& what) {
  throw Error(errc::kEncrypted, "The database is encrypted with " + what + ", which cannot be opened.");
}

class InfoReader {
 public:
  InfoReader(std::span<const std::uint8_t> page0, std::string_view file) : page0_(page0), file_(file) {}

  std::string WhereAt(std::size_t offset) const {
    return Where(file_, "page", 0, static_cast<std::int64_t>(offset));
  }

  [[noreturn]] void Fail(const std::string& what, std::size_t offset) const {
    ThrowCorrupt(what, WhereAt(offset));
  }

  void Require(std::size_t offset, std::size_t length, const char* what) const {
    if (offset > page0_.size() || length > page0_.size() - offset) {
      Fail(std::string("The encryption information is cut off (") + what + ").", offset);
    }
  }
  std::uint16_t U16(std::size_t offset, const char* what) const {
    Require(offset, 2, what);
    return LoadU16(page0_.data() + offset);
  }
  std::uint32_t U32(std::size_t offset, const char* what) const {
    Require(offset, 4, what);
    return LoadU32(page0_.data() + offset);
  }
  std::span<const std::uint8_t> Span(std::size_t offset, std::size_t length, const char* what) const {
    Require(offset, length, what);
    return page0_.subspan(offset, length);
  }

 private:
  std::span<const std::uint8_t> page0_;
  std::string file_;
};

// The CSP name is UTF-16LE, NUL-terminated; only its ASCII letters matter (the " base " test and
// descriptions), so anything else becomes '?'.
std::string ReadProviderName(std::span<const std::uint8_t> bytes) {
  std::string name;
  for (std::size_t i = 0; i + 1 < bytes.size() && name.size() < 128; i += 2) {
    std::uint16_t unit = LoadU16(bytes.data() + i);
    if (unit == 0) break;
    name.push_back(unit >= 0x20 && unit < 0x7f ? static_cast<char>(unit) : '?');
  }
  return name;
}

void ReadBinaryHeader(const InfoReader& r, std::size_t info, std::size_t infoEnd, CryptInfo& out) {
  std::uint32_t structureFlags = r.U32(info + 4, "flags");
  if ((structureFlags & kFlagCryptoApi) == 0) ThrowUnsupported("an Office scheme without CryptoAPI");
  if ((structureFlags & kFlagExternal) != 0) ThrowUnsupported("an external encryption provider");

  std::uint32_t headerSize = r.U32(info + 8, "header size");
  std::size_t header = info + 12;
  if (headerSize < kBinaryHeaderFixedSize || headerSize > infoEnd - header) {
    r.Fail("The encryption header size " + std::to_string(headerSize) + " does not fit the structure.",
           info + 8);
  }
  BinaryCryptHeader& h = out.binary;
  h.flags = r.U32(header, "header flags");
  h.algorithmId = r.U32(header + 8, "algorithm");
  h.hashAlgorithmId = r.U32(header + 12, "hash algorithm");
  std::uint32_t keyBits = r.U32(header + 16, "key size");
  h.providerType = r.U32(header + 20, "provider type");
  h.providerName = ReadProviderName(
      r.Span(header + kBinaryHeaderFixedSize, headerSize - kBinaryHeaderFixedSize, "provider name"));

  if ((h.flags & kFlagExternal) != 0) ThrowUnsupported("an external encryption provider");
  bool aes;
  switch (h.algorithmId) {
    case 0:
      aes = (h.flags & kFlagAes) != 0;
      break;
    case kAlgRc4:
      aes = false;
      break;
    case kAlgAes128:
    case kAlgAes192:
    case kAlgAes256:
      aes = true;
      break;
    default:
      r.Fail("The encryption algorithm 0x" + ToHex(r.Span(header + 8, 4, "algorithm")) +
                 " (little-endian) is not an Office algorithm.",
             header + 8);
  }
  if (h.hashAlgorithmId != 0 && h.hashAlgorithmId != kAlgSha1) {
    r.Fail("The encryption hash algorithm is not SHA-1.", header + 12);
  }

  if (aes) {
    std::uint32_t expected = h.algorithmId == kAlgAes192 ? 192 : h.algorithmId == kAlgAes256 ? 256 : 128;
    if (keyBits == 0) keyBits = expected;
    if (keyBits != expected) r.Fail("The AES key size does not match the algorithm.", header + 16);
    // The AES flag marks ECMA-376 standard encryption; without it Access wrote the variant that
    // skips the 50,000 hash spins (what Jackcess calls the "non-standard" provider).
    out.scheme = (structureFlags & kFlagAes) != 0 ? Scheme::kAesStandard : Scheme::kAesNonStandard;
  } else {
    if ((structureFlags & kFlagAes) != 0) r.Fail("The AES flag is set for an RC4 key.", info + 4);
    if (keyBits == 0) {
      // No size given: the provider's default, 40 bits for the Base provider (or none named),
      // 128 bits for the Enhanced and Strong ones.
      std::string lower = h.providerName;
      std::transform(lower.begin(), lower.end(), lower.begin(),
                     [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
      bool base =
          lower.find_first_not_of(' ') == std::string::npos || lower.find(" base ") != std::string::npos;
      keyBits = base ? 40 : 128;
    }
    if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) {
      r.Fail("The RC4 key size " + std::to_string(keyBits) + " is outside 40 to 128 bits.", header + 16);
    }
    out.scheme = Scheme::kRc4CryptoApi;
  }
  h.keyBits = keyBits;

  std::size_t verifier = header + headerSize;
  std::uint32_t saltSize = r.U32(verifier, "salt size");
  if (saltSize != kVerifierSaltSize) r.Fail("The encryption salt is not 16 bytes long.", verifier);
  auto salt = r.Span(verifier + 4, 16, "salt");
  std::copy(salt.begin(), salt.end(), h.salt.begin());
  auto encryptedVerifier = r.Span(verifier + 20, 16, "verifier");
  std::copy(encryptedVerifier.begin(), encryptedVerifier.end(), h.encryptedVerifier.begin());
  h.verifierHashSize = r.U32(verifier + 36, "verifier hash size");
  if (h.verifierHashSize != kSha1Size) r.Fail("The verifier hash is not a SHA-1 hash.", verifier + 36);
  std::size_t hashLength = aes ? 32 : 20;
  if (verifier + 40 + hashLength > infoEnd)
    r.Fail("The verifier runs past the encryption structure.", verifier);
  auto hash = r.Span(verifier + 40, hashLength, "verifier hash");
  h.encryptedVerifierHash.assign(hash.begin(), hash.end());
}

}  // namespace

Bytes UnmaskHeader(std::span<const std::uint8_t> page0, std::size_t length) {
  if (page0.size() < kHeaderMaskOffset + length) {
    throw Error(errc::kCorrupt, "Page 0 is too short to hold a database header.");
  }
  Bytes area(page0.begin() + kHeaderMaskOffset, page0.begin() + kHeaderMaskOffset + length);
  Rc4(kHeaderMaskKey, area);
  return area;
}

CryptInfo ReadCryptInfo(std::span<const std::uint8_t> page0, std::string_view file) {
  InfoReader r(page0, file);
  CryptInfo out;
  r.Require(0, kCryptInfoOffset + 2, "page 0");
  out.formatVersion = page0[kVersionOffset];
  Bytes unmasked = UnmaskHeader(page0, kEncodingKeyOffset + 4 - kHeaderMaskOffset);
  std::copy_n(unmasked.begin() + (kEncodingKeyOffset - kHeaderMaskOffset), 4, out.encodingKey.begin());
  if (std::all_of(out.encodingKey.begin(), out.encodingKey.end(), [](std::uint8_t b) { return b == 0; })) {
    out.scheme = Scheme::kNone;
    return out;
  }
  if (out.formatVersion < kFirstAceVersion) {
    out.scheme = Scheme::kJetRc4;
    return out;
  }

  std::size_t infoLength = r.U16(kCryptInfoOffset, "length");
  std::size_t info = kCryptInfoOffset + 2;
  if (infoLength < 8) r.Fail("The encryption structure is too short.", kCryptInfoOffset);
  r.Require(info, infoLength, "structure");
  std::size_t infoEnd = info + infoLength;
  out.versionMajor = r.U16(info, "version");
  out.versionMinor = r.U16(info + 2, "version");
  const std::uint16_t major = out.versionMajor;
  const std::uint16_t minor = out.versionMinor;

  if (major == 4 && minor == 4) {
    if (r.U32(info + 4, "reserved") != kAgileReserved) {
      r.Fail("The agile encryption structure has an unexpected reserved value.", info + 4);
    }
    auto xmlBytes = r.Span(info + 8, infoLength - 8, "descriptor");
    std::string_view xml(reinterpret_cast<const char*>(xmlBytes.data()), xmlBytes.size());
    out.agile = ParseAgileDescriptor(xml, r.WhereAt(info + 8));
    out.scheme = Scheme::kAgile;
    return out;
  }
  if ((major == 3 || major == 4) && minor == 3) ThrowUnsupported("an extensible encryption provider");
  if ((major == 2 || major == 3 || major == 4) && minor == 2) {
    ReadBinaryHeader(r, info, infoEnd, out);
    return out;
  }
  if (major == 1 && minor == 1) ThrowUnsupported("Office binary RC4 encryption (version 1.1)");
  r.Fail("The encryption structure has the unknown version " + std::to_string(major) + "." +
             std::to_string(minor) + ".",
         info);
}

}  // namespace qv::jet::crypto
