#include "engine/jet/crypto/encryption.h"

#include "engine/core/error.h"
#include "engine/jet/crypto/encryption_header.h"
#include "engine/jet/crypto/office_codecs.h"
#include "engine/jet/crypto/secret_bytes.h"

namespace qv::jet::crypto {
namespace {

// Access keeps at most 255 UTF-16 code units of a password.
constexpr std::size_t kMaxPasswordUnits = 255;

// The password as UTF-16LE bytes. Text that is not UTF-8 cannot be any Access password, so it
// gets the same answer as a wrong one.
SecretBytes PasswordBytes(std::string_view utf8) {
  SecretBytes out(utf8.size() * 2 + 4 > kMaxPasswordUnits * 2 ? kMaxPasswordUnits * 2 : utf8.size() * 2 + 4);
  std::size_t units = 0;
  auto put = [&](std::uint32_t unit) -> bool {
    if (units >= kMaxPasswordUnits) return false;
    out[2 * units] = static_cast<std::uint8_t>(unit);
    out[2 * units + 1] = static_cast<std::uint8_t>(unit >> 8);
    ++units;
    return true;
  };
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(utf8[k]); };
    std::uint8_t b0 = byte(i);
    std::uint32_t cp;
    std::size_t length;
    if (b0 < 0x80) {
      cp = b0;
      length = 1;
    } else if ((b0 & 0xe0) == 0xc0) {
      cp = b0 & 0x1fu;
      length = 2;
    } else if ((b0 & 0xf0) == 0xe0) {
      cp = b0 & 0x0fu;
      length = 3;
    } else if ((b0 & 0xf8) == 0xf0) {
      cp = b0 & 0x07u;
      length = 4;
    } else
      throw Error(errc::kWrongPassword, "Not a valid password.");
    if (i + length > utf8.size()) throw Error(errc::kWrongPassword, "Not a valid password.");
    for (std::size_t k = 1; k < length; ++k) {
      if ((byte(i + k) & 0xc0) != 0x80) throw Error(errc::kWrongPassword, "Not a valid password.");
      cp = (cp << 6) | (byte(i + k) & 0x3fu);
    }
    static constexpr std::uint32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[length] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
      throw Error(errc::kWrongPassword, "Not a valid password.");
    }
    i += length;
    bool room = cp < 0x10000 ? put(cp)
                             : put(0xd800 + ((cp - 0x10000) >> 10)) && put(0xdc00 + ((cp - 0x10000) & 0x3ff));
    if (!room) break;
  }
  return out.Resized(units * 2, 0);
}

}  // namespace

EncryptionInfo DescribeEncryption(std::span<const std::uint8_t> page0, std::string_view file) {
  CryptInfo crypt = ReadCryptInfo(page0, file);
  EncryptionInfo info;
  info.scheme = crypt.scheme;
  info.formatVersion = crypt.formatVersion;
  info.versionMajor = crypt.versionMajor;
  info.versionMinor = crypt.versionMinor;
  switch (crypt.scheme) {
    case Scheme::kNone:
      break;
    case Scheme::kJetRc4:
      info.cipher = "RC4";
      info.keyBits = 32;
      break;
    case Scheme::kRc4CryptoApi:
    case Scheme::kAesStandard:
    case Scheme::kAesNonStandard:
      info.cipher = crypt.scheme == Scheme::kRc4CryptoApi ? "RC4" : "AES";
      info.keyBits = crypt.binary.keyBits;
      info.hash = "SHA1";
      info.spinCount = crypt.scheme == Scheme::kAesStandard ? 50'000 : 0;
      info.provider = crypt.binary.providerName;
      break;
    case Scheme::kAgile:
      info.cipher = "AES";
      info.keyBits = crypt.agile.keyData.keyBits;
      info.hash = crypt.agile.keyData.hashName;
      info.spinCount = crypt.agile.spinCount;
      break;
  }
  return info;
}

std::unique_ptr<PageCodec> OpenEncryption(std::span<const std::uint8_t> page0, std::string_view password,
                                          std::uint32_t pageSize, std::string_view file) {
  if (pageSize == 0)
    throw Error(errc::kInvalidArgument, "The page size of an encrypted database cannot be 0.");
  CryptInfo crypt = ReadCryptInfo(page0, file);
  switch (crypt.scheme) {
    case Scheme::kNone:
      return nullptr;
    case Scheme::kJetRc4:
      return MakeJetRc4Codec(crypt, pageSize);
    default:
      break;
  }
  SecretBytes passwordBytes = PasswordBytes(password);
  switch (crypt.scheme) {
    case Scheme::kRc4CryptoApi:
      return MakeRc4CryptoApiCodec(crypt, passwordBytes, pageSize);
    case Scheme::kAesStandard:
    case Scheme::kAesNonStandard:
      return MakeAesBinaryCodec(crypt, passwordBytes, pageSize);
    case Scheme::kAgile:
      return MakeAgileCodec(crypt, passwordBytes, pageSize);
    default:
      break;
  }
  throw Error(errc::kGeneric, "Unknown page encryption scheme.");
}

}  // namespace qv::jet::crypto
