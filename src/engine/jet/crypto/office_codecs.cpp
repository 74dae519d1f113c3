#include "engine/jet/crypto/office_codecs.h"

#include <array>
#include <string>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/jet/crypto/primitives.h"

namespace qv::jet::crypto {
namespace {

// The hash spins of ECMA-376 standard encryption; the "non-standard" variant uses none.
constexpr std::uint32_t kStandardSpinCount = 50'000;

// Block keys of agile encryption: which of the three secrets a derived key unlocks.
constexpr std::array<std::uint8_t, 8> kVerifierInputBlock = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
constexpr std::array<std::uint8_t, 8> kVerifierValueBlock = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
constexpr std::array<std::uint8_t, 8> kKeyValueBlock = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

[[noreturn]] void ThrowWrongPassword() {
  // Says nothing of what was compared: a wrong and a missing password look the same.
  throw Error(errc::kWrongPassword, "Not a valid password.");
}

std::array<std::uint8_t, 4> Le32(std::uint32_t value) {
  std::array<std::uint8_t, 4> out{};
  StoreU32(out.data(), value);
  return out;
}

// Common ground of all codecs: the page size check, page 0 left alone, and the per-page block
// key, which is the encoding key from page 0 XORed with the little-endian page number.
class CodecBase : public PageCodec {
 public:
  CodecBase(Scheme scheme, const CryptInfo& info, std::uint32_t pageSize)
      : scheme_(scheme), pageSize_(pageSize), encodingKey_(info.encodingKey) {}

  void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) override {
    if (Skip(pageNo, page)) return;
    Transform(false, pageNo, page);
  }
  void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) override {
    if (Skip(pageNo, page)) return;
    Transform(true, pageNo, page);
  }
  Scheme scheme() const override { return scheme_; }

 protected:
  virtual void Transform(bool encrypt, std::uint32_t pageNo, std::span<std::uint8_t> page) const = 0;

  std::array<std::uint8_t, 4> PageBlock(std::uint32_t pageNo) const {
    std::array<std::uint8_t, 4> block = Le32(pageNo);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] ^= encodingKey_[i];
    return block;
  }

 private:
  bool Skip(std::uint32_t pageNo, std::span<std::uint8_t> page) const {
    if (page.size() != pageSize_) {
      throw Error(errc::kInvalidArgument, "A page of " + std::to_string(page.size()) +
                                              " bytes was given to the page cipher; pages are " +
                                              std::to_string(pageSize_) + " bytes.");
    }
    return pageNo == 0;
  }

  Scheme scheme_;
  std::uint32_t pageSize_;
  std::array<std::uint8_t, 4> encodingKey_;
};

// Jet3/Jet4: RC4 keyed directly with the page's block key. There is no password in it.
class JetRc4Codec final : public CodecBase {
 public:
  JetRc4Codec(const CryptInfo& info, std::uint32_t pageSize) : CodecBase(Scheme::kJetRc4, info, pageSize) {}

 protected:
  void Transform(bool, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    std::array<std::uint8_t, 4> key = PageBlock(pageNo);
    Rc4(key, page);
  }
};

// Office RC4 CryptoAPI: key = SHA-1(SHA-1(salt + password) + block), cut to the key size; a
// 40-bit key is padded with zeros to 128 bits, as CryptoAPI does.
class Rc4CryptoApiCodec final : public CodecBase {
 public:
  Rc4CryptoApiCodec(const CryptInfo& info, const SecretBytes& password, std::uint32_t pageSize)
      : CodecBase(Scheme::kRc4CryptoApi, info, pageSize),
        keyBits_(info.binary.keyBits),
        baseHash_(Digest(HashAlgorithm::kSha1, {info.binary.salt, password.span()})) {
    const BinaryCryptHeader& h = info.binary;
    SecretBytes check(16 + h.encryptedVerifierHash.size());
    std::copy(h.encryptedVerifier.begin(), h.encryptedVerifier.end(), check.data());
    std::copy(h.encryptedVerifierHash.begin(), h.encryptedVerifierHash.end(), check.data() + 16);
    // Verifier and its hash are one RC4 stream under the key of block 0.
    Rc4(KeyFor(Le32(0)).span(), check.span());
    SecretBytes expected = Digest(HashAlgorithm::kSha1, {check.span().first(16)});
    if (!ConstantTimeEqual(expected.span().first(h.verifierHashSize), check.span().subspan(16, h.verifierHashSize))) {
      ThrowWrongPassword();
    }
  }

 protected:
  void Transform(bool, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    Rc4(KeyFor(PageBlock(pageNo)).span(), page);
  }

 private:
  SecretBytes KeyFor(std::span<const std::uint8_t> block) const {
    SecretBytes key = Digest(HashAlgorithm::kSha1, {baseHash_.span(), block}).Resized(keyBits_ / 8, 0);
    return keyBits_ == 40 ? key.Resized(16, 0) : std::move(key);
  }

  std::uint32_t keyBits_;
  SecretBytes baseHash_;
};

// ECMA-376 standard encryption and its spin-less variant: AES-ECB with a key from the CryptoAPI
// key derivation (the final hash XORed into 0x36 and 0x5C pads, both hashed, concatenated, cut).
class AesBinaryCodec final : public CodecBase {
 public:
  AesBinaryCodec(const CryptInfo& info, const SecretBytes& password, std::uint32_t pageSize)
      : CodecBase(info.scheme, info, pageSize),
        keyBytes_(info.binary.keyBits / 8),
        iteratedHash_(IteratedHash(HashAlgorithm::kSha1, info.binary.salt, password.span(),
                                   info.scheme == Scheme::kAesStandard ? kStandardSpinCount : 0)) {
    if (pageSize % 16 != 0) throw Error(errc::kInvalidArgument, "AES pages must be a multiple of 16 bytes.");
    const BinaryCryptHeader& h = info.binary;
    SecretBytes key = KeyFor(Le32(0));
    SecretBytes verifier(16);
    Aes(false, Chaining::kEcb, key.span(), {}, h.encryptedVerifier, verifier.span());
    SecretBytes verifierHash(h.encryptedVerifierHash.size());
    Aes(false, Chaining::kEcb, key.span(), {}, h.encryptedVerifierHash, verifierHash.span());
    SecretBytes expected = Digest(HashAlgorithm::kSha1, {verifier.span()});
    if (!ConstantTimeEqual(expected.span().first(h.verifierHashSize), verifierHash.span().first(h.verifierHashSize))) {
      ThrowWrongPassword();
    }
  }

 protected:
  void Transform(bool encrypt, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    SecretBytes key = KeyFor(PageBlock(pageNo));
    Aes(encrypt, Chaining::kEcb, key.span(), {}, page, page);
  }

 private:
  SecretBytes KeyFor(std::span<const std::uint8_t> block) const {
    SecretBytes finalHash = Digest(HashAlgorithm::kSha1, {iteratedHash_.span(), block});
    SecretBytes inner(64), outer(64);
    for (std::size_t i = 0; i < 64; ++i) {
      std::uint8_t h = i < finalHash.size() ? finalHash[i] : 0;
      inner[i] = static_cast<std::uint8_t>(0x36 ^ h);
      outer[i] = static_cast<std::uint8_t>(0x5c ^ h);
    }
    SecretBytes x1 = Digest(HashAlgorithm::kSha1, {inner.span()});
    SecretBytes x2 = Digest(HashAlgorithm::kSha1, {outer.span()});
    SecretBytes key(keyBytes_);
    for (std::size_t i = 0; i < keyBytes_; ++i) key[i] = i < x1.size() ? x1[i] : x2[i - x1.size()];
    return key;
  }

  std::size_t keyBytes_;
  SecretBytes iteratedHash_;
};

// Agile encryption: the password unlocks a random page key kept in the descriptor; each page is
// AES-CBC under that key with IV = H(keyData salt + block), cut or padded with 0x36.
class AgileCodec final : public CodecBase {
 public:
  AgileCodec(const CryptInfo& info, const SecretBytes& password, std::uint32_t pageSize)
      : CodecBase(Scheme::kAgile, info, pageSize), keyData_(info.agile.keyData) {
    if (pageSize % 16 != 0) throw Error(errc::kInvalidArgument, "AES pages must be a multiple of 16 bytes.");
    const AgileDescriptor& d = info.agile;
    const AgileCipherParams& p = d.password;
    SecretBytes iterated = IteratedHash(p.hash, p.salt, password.span(), d.spinCount);
    SecretBytes iv = SecretBytes(p.salt).Resized(p.blockSize, 0x36);
    auto unlock = [&](std::span<const std::uint8_t> block, const Bytes& encrypted) {
      SecretBytes key = Digest(p.hash, {iterated.span(), block}).Resized(p.keyBits / 8, 0x36);
      SecretBytes plain(encrypted.size());
      Aes(false, Chaining::kCbc, key.span(), iv.span(), encrypted, plain.span());
      return plain;
    };
    SecretBytes verifierInput = unlock(kVerifierInputBlock, d.encryptedVerifierHashInput);
    SecretBytes verifierHash = unlock(kVerifierValueBlock, d.encryptedVerifierHashValue);
    std::size_t inputLength = std::min<std::size_t>(verifierInput.size(), p.salt.size());
    SecretBytes expected = Digest(p.hash, {verifierInput.span().first(inputLength)});
    if (!ConstantTimeEqual(expected.span(), verifierHash.span().first(p.hashSize))) ThrowWrongPassword();
    pageKey_ = unlock(kKeyValueBlock, d.encryptedKeyValue).Resized(keyData_.keyBits / 8, 0);
  }

 protected:
  void Transform(bool encrypt, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    std::array<std::uint8_t, 4> block = PageBlock(pageNo);
    SecretBytes iv = Digest(keyData_.hash, {keyData_.salt, block}).Resized(keyData_.blockSize, 0x36);
    Aes(encrypt, Chaining::kCbc, pageKey_.span(), iv.span(), page, page);
  }

 private:
  AgileCipherParams keyData_;
  SecretBytes pageKey_;
};

}  // namespace

std::string_view SchemeName(Scheme scheme) {
  switch (scheme) {
    case Scheme::kNone: return "none";
    case Scheme::kJetRc4: return "Jet RC4 page encoding";
    case Scheme::kRc4CryptoApi: return "RC4 CryptoAPI";
    case Scheme::kAesStandard: return "ECMA-376 standard AES";
    case Scheme::kAesNonStandard: return "non-standard AES";
    case Scheme::kAgile: return "agile AES";
  }
  return "unknown";
}

std::unique_ptr<PageCodec> MakeJetRc4Codec(const CryptInfo& info, std::uint32_t pageSize) {
  return std::make_unique<JetRc4Codec>(info, pageSize);
}
std::unique_ptr<PageCodec> MakeRc4CryptoApiCodec(const CryptInfo& info, const SecretBytes& password,
                                                 std::uint32_t pageSize) {
  return std::make_unique<Rc4CryptoApiCodec>(info, password, pageSize);
}
std::unique_ptr<PageCodec> MakeAesBinaryCodec(const CryptInfo& info, const SecretBytes& password,
                                              std::uint32_t pageSize) {
  return std::make_unique<AesBinaryCodec>(info, password, pageSize);
}
std::unique_ptr<PageCodec> MakeAgileCodec(const CryptInfo& info, const SecretBytes& password,
                                          std::uint32_t pageSize) {
  return std::make_unique<AgileCodec>(info, password, pageSize);
}

}  // namespace qv::jet::crypto
