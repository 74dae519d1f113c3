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

// Common ground of all codecs: the page size check, page 0 left alone, the per-page block key
// (the encoding key from page 0 XORed with the little-endian page number), and the one buffer
// that holds every key the codec keeps: the encoding key in its first 4 bytes, then the scheme's
// own secret (a hash of the password, or the agile page key). That buffer is wiped when the codec
// goes; keys derived for one page live on the stack of that call and are wiped before it returns.
class CodecBase : public PageCodec {
 public:
  CodecBase(Scheme scheme, const CryptInfo& info, std::uint32_t pageSize, std::size_t secretSize)
      : scheme_(scheme), pageSize_(pageSize), keys_(kEncodingKeySize + secretSize) {
    std::copy(info.encodingKey.begin(), info.encodingKey.end(), keys_.data());
  }
  ~CodecBase() override {
    keys_.Cleanse();
    if (observer_) {
      try {
        observer_(keys_.span());
      } catch (...) {
      }
    }
  }

  void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    if (Skip(pageNo, page)) return;
    Transform(false, pageNo, page);
  }
  void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    if (Skip(pageNo, page)) return;
    Transform(true, pageNo, page);
  }
  Scheme scheme() const override { return scheme_; }
  void ObserveWipe(WipeObserver observer) override { observer_ = std::move(observer); }

 protected:
  static constexpr std::size_t kEncodingKeySize = 4;

  virtual void Transform(bool encrypt, std::uint32_t pageNo, std::span<std::uint8_t> page) const = 0;

  std::array<std::uint8_t, 4> PageBlock(std::uint32_t pageNo) const {
    std::array<std::uint8_t, 4> block = Le32(pageNo);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] ^= keys_[i];
    return block;
  }
  std::span<std::uint8_t> secret() { return keys_.span().subspan(kEncodingKeySize); }
  std::span<const std::uint8_t> secret() const { return keys_.span().subspan(kEncodingKeySize); }

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
  SecretBytes keys_;
  WipeObserver observer_;
};

// A stack buffer for key material derived for one page, wiped when the call leaves.
template <std::size_t N>
struct StackSecret {
  std::array<std::uint8_t, N> bytes{};
  ~StackSecret() { Cleanse(bytes); }
  std::uint8_t* data() { return bytes.data(); }
  std::span<std::uint8_t> span() { return bytes; }
};

// Jet3/Jet4: RC4 keyed directly with the page's block key. There is no password in it.
class JetRc4Codec final : public CodecBase {
 public:
  JetRc4Codec(const CryptInfo& info, std::uint32_t pageSize)
      : CodecBase(Scheme::kJetRc4, info, pageSize, 0) {}

 protected:
  void Transform(bool, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    StackSecret<4> key;
    key.bytes = PageBlock(pageNo);
    Rc4(key.span(), page);
  }
};

// Office RC4 CryptoAPI: key = SHA-1(SHA-1(salt + password) + block), cut to the key size; a
// 40-bit key is padded with zeros to 128 bits, as CryptoAPI does. The codec keeps the inner hash.
class Rc4CryptoApiCodec final : public CodecBase {
 public:
  Rc4CryptoApiCodec(const CryptInfo& info, const SecretBytes& password, std::uint32_t pageSize)
      : CodecBase(Scheme::kRc4CryptoApi, info, pageSize, kSha1Size),
        keyBytes_(info.binary.keyBits / 8),
        rc4KeyBytes_(info.binary.keyBits == 40 ? 16 : info.binary.keyBits / 8) {
    DigestInto(HashAlgorithm::kSha1, {info.binary.salt, password.span()}, secret());
    const BinaryCryptHeader& h = info.binary;
    SecretBytes check(16 + h.encryptedVerifierHash.size());
    std::copy(h.encryptedVerifier.begin(), h.encryptedVerifier.end(), check.data());
    std::copy(h.encryptedVerifierHash.begin(), h.encryptedVerifierHash.end(), check.data() + 16);
    // Verifier and its hash are one RC4 stream under the key of block 0.
    StackSecret<kSha1Size> key;
    Rc4(KeyFor(Le32(0), key), check.span());
    SecretBytes expected = Digest(HashAlgorithm::kSha1, {check.span().first(16)});
    if (!ConstantTimeEqual(expected.span().first(h.verifierHashSize),
                           check.span().subspan(16, h.verifierHashSize))) {
      ThrowWrongPassword();
    }
  }

 protected:
  void Transform(bool, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    StackSecret<kSha1Size> key;
    Rc4(KeyFor(PageBlock(pageNo), key), page);
  }

 private:
  static constexpr std::size_t kSha1Size = 20;

  // The RC4 key of `block`, in `key` (no allocation: this runs once per page read or written).
  std::span<const std::uint8_t> KeyFor(std::span<const std::uint8_t> block,
                                       StackSecret<kSha1Size>& key) const {
    DigestInto(HashAlgorithm::kSha1, {secret(), block}, key.span());
    std::fill(key.bytes.begin() + static_cast<std::ptrdiff_t>(keyBytes_), key.bytes.end(), 0);
    return key.span().first(rc4KeyBytes_);
  }

  std::size_t keyBytes_;     // 5..16 (40 to 128 bits)
  std::size_t rc4KeyBytes_;  // 16 for a 40-bit key, keyBytes_ otherwise
};

// ECMA-376 standard encryption and its spin-less variant: AES-ECB with a key from the CryptoAPI
// key derivation (the final hash XORed into 0x36 and 0x5C pads, both hashed, concatenated, cut).
// The codec keeps the iterated hash.
class AesBinaryCodec final : public CodecBase {
 public:
  AesBinaryCodec(const CryptInfo& info, const SecretBytes& password, std::uint32_t pageSize)
      : CodecBase(info.scheme, info, pageSize, kSha1Size),
        keyBytes_(info.binary.keyBits / 8),
        aes_(Chaining::kEcb, keyBytes_) {
    if (pageSize % 16 != 0) throw Error(errc::kInvalidArgument, "AES pages must be a multiple of 16 bytes.");
    SecretBytes iterated = IteratedHash(HashAlgorithm::kSha1, info.binary.salt, password.span(),
                                        info.scheme == Scheme::kAesStandard ? kStandardSpinCount : 0);
    std::copy(iterated.span().begin(), iterated.span().end(), secret().begin());
    const BinaryCryptHeader& h = info.binary;
    StackSecret<2 * kSha1Size> key;
    KeyFor(Le32(0), key);
    SecretBytes verifier(16);
    Aes(false, Chaining::kEcb, key.span().first(keyBytes_), {}, h.encryptedVerifier, verifier.span());
    SecretBytes verifierHash(h.encryptedVerifierHash.size());
    Aes(false, Chaining::kEcb, key.span().first(keyBytes_), {}, h.encryptedVerifierHash, verifierHash.span());
    SecretBytes expected = Digest(HashAlgorithm::kSha1, {verifier.span()});
    if (!ConstantTimeEqual(expected.span().first(h.verifierHashSize),
                           verifierHash.span().first(h.verifierHashSize))) {
      ThrowWrongPassword();
    }
  }

 protected:
  void Transform(bool encrypt, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    StackSecret<2 * kSha1Size> key;
    KeyFor(PageBlock(pageNo), key);
    aes_.Run(encrypt, key.span().first(keyBytes_), {}, page, page);
  }

 private:
  static constexpr std::size_t kSha1Size = 20;

  // x1 + x2 of the key derivation into `key`; the AES key is its first keyBytes_ (16..32) bytes.
  void KeyFor(std::span<const std::uint8_t> block, StackSecret<2 * kSha1Size>& key) const {
    StackSecret<kSha1Size> finalHash;
    DigestInto(HashAlgorithm::kSha1, {secret(), block}, finalHash.span());
    StackSecret<64> pad;
    for (std::size_t i = 0; i < 64; ++i)
      pad.bytes[i] = static_cast<std::uint8_t>(0x36 ^ (i < kSha1Size ? finalHash.bytes[i] : 0));
    DigestInto(HashAlgorithm::kSha1, {pad.span()}, key.span().first(kSha1Size));
    for (std::size_t i = 0; i < 64; ++i)
      pad.bytes[i] = static_cast<std::uint8_t>(0x5c ^ (i < kSha1Size ? finalHash.bytes[i] : 0));
    DigestInto(HashAlgorithm::kSha1, {pad.span()}, key.span().subspan(kSha1Size));
  }

  std::size_t keyBytes_;
  AesEngine aes_;
};

// Agile encryption: the password unlocks a random page key kept in the descriptor; each page is
// AES-CBC under that key with IV = H(keyData salt + block), cut or padded with 0x36. The codec
// keeps the page key.
class AgileCodec final : public CodecBase {
 public:
  AgileCodec(const CryptInfo& info, const SecretBytes& password, std::uint32_t pageSize)
      : CodecBase(Scheme::kAgile, info, pageSize, info.agile.keyData.keyBits / 8),
        keyData_(info.agile.keyData),
        aes_(Chaining::kCbc, keyData_.keyBits / 8) {
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
    SecretBytes pageKey = unlock(kKeyValueBlock, d.encryptedKeyValue).Resized(keyData_.keyBits / 8, 0);
    std::copy(pageKey.span().begin(), pageKey.span().end(), secret().begin());
  }

 protected:
  void Transform(bool encrypt, std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    std::array<std::uint8_t, 4> block = PageBlock(pageNo);
    StackSecret<64> digest;  // the largest digest, SHA-512
    DigestInto(keyData_.hash, {keyData_.salt, block}, digest.span());
    // The descriptor is checked for a 16-byte block; the IV is the digest cut (or padded with
    // 0x36) to it.
    std::size_t hashSize = DigestSize(keyData_.hash);
    for (std::size_t i = hashSize; i < keyData_.blockSize; ++i) digest.bytes[i] = 0x36;
    aes_.Run(encrypt, secret(), digest.span().first(keyData_.blockSize), page, page);
  }

 private:
  AgileCipherParams keyData_;
  AesEngine aes_;
};

}  // namespace

std::string_view SchemeName(Scheme scheme) {
  switch (scheme) {
    case Scheme::kNone:
      return "none";
    case Scheme::kJetRc4:
      return "Jet RC4 page encoding";
    case Scheme::kRc4CryptoApi:
      return "RC4 CryptoAPI";
    case Scheme::kAesStandard:
      return "ECMA-376 standard AES";
    case Scheme::kAesNonStandard:
      return "non-standard AES";
    case Scheme::kAgile:
      return "agile AES";
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
