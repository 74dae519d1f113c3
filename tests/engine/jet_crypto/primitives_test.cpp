// The OpenSSL wrappers against published test vectors, the descriptor's base64, and the one
// scheme no corpus database uses (ECMA-376 standard AES) against a fixture made by a separate
// implementation (data/make_standard_aes.py: Python hashlib and the openssl command).
#include "engine/jet/crypto/primitives.h"

#include <gtest/gtest.h>

#include <string>

#include "corpus_files.h"
#include "engine/core/error.h"
#include "engine/jet/crypto/agile_descriptor.h"
#include "engine/jet/crypto/encryption.h"

namespace qv::jet::crypto::test {
namespace {

Bytes Hex(std::string_view text) {
  Bytes out;
  EXPECT_TRUE(FromHex(text, out)) << text;
  return out;
}

std::span<const std::uint8_t> Text(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(Primitives, DigestsMatchPublishedVectors) {
  EXPECT_EQ(ToHex(Digest(HashAlgorithm::kSha1, {Text("abc")}).span()),
            "a9993e364706816aba3e25717850c26c9cd0d89d");
  // Parts are concatenated.
  EXPECT_EQ(ToHex(Digest(HashAlgorithm::kSha1, {Text("a"), Text(""), Text("bc")}).span()),
            "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(ToHex(Digest(HashAlgorithm::kSha256, {Text("abc")}).span()),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(ToHex(Digest(HashAlgorithm::kSha512, {Text("abc")}).span()).substr(0, 32),
            "ddaf35a193617abacc417349ae204131");
  EXPECT_EQ(DigestSize(HashAlgorithm::kSha384), 48u);
}

TEST(Primitives, IteratedHashWithNoSpinsIsTheSaltedHash) {
  Bytes salt = Hex("0102"), password = Hex("0304");
  EXPECT_EQ(ToHex(IteratedHash(HashAlgorithm::kSha1, salt, password, 0).span()),
            ToHex(Digest(HashAlgorithm::kSha1, {Hex("01020304")}).span()));
  // One spin: H(LE32(0) + H(salt + password)).
  SecretBytes h0 = Digest(HashAlgorithm::kSha1, {Hex("01020304")});
  EXPECT_EQ(ToHex(IteratedHash(HashAlgorithm::kSha1, salt, password, 1).span()),
            ToHex(Digest(HashAlgorithm::kSha1, {Hex("00000000"), h0.span()}).span()));
}

TEST(Primitives, AesMatchesFips197AndRunsInPlace) {
  Bytes key = Hex("000102030405060708090a0b0c0d0e0f");
  Bytes block = Hex("00112233445566778899aabbccddeeff");
  Aes(true, Chaining::kEcb, key, {}, block, block);
  EXPECT_EQ(ToHex(block), "69c4e0d86a7b0430d8cdb78070b4c55a");
  Aes(false, Chaining::kEcb, key, {}, block, block);
  EXPECT_EQ(ToHex(block), "00112233445566778899aabbccddeeff");

  // SP 800-38A F.2.1, first two blocks of CBC-AES128.
  Bytes cbcKey = Hex("2b7e151628aed2a6abf7158809cf4f3c");
  Bytes iv = Hex("000102030405060708090a0b0c0d0e0f");
  Bytes data = Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  Aes(true, Chaining::kCbc, cbcKey, iv, data, data);
  EXPECT_EQ(ToHex(data), "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");

  Bytes partial(15);
  EXPECT_THROW(Aes(true, Chaining::kEcb, key, {}, partial, partial), Error);
  Bytes badKey(20);
  EXPECT_THROW(Aes(true, Chaining::kEcb, badKey, {}, block, block), Error);
}

TEST(Primitives, Rc4MatchesThePublishedVector) {
  std::string text = "Plaintext";
  Bytes data(text.begin(), text.end());
  Rc4(Text("Key"), data);
  EXPECT_EQ(ToHex(data), "bbf316e8d940af0ad3");
  Rc4(Text("Key"), data);
  EXPECT_EQ(std::string(data.begin(), data.end()), text);
}

TEST(SecretBytesTest, ResizedCutsOrPads) {
  SecretBytes bytes(Hex("0102030405"));
  EXPECT_EQ(ToHex(bytes.Resized(3, 0x36).span()), "010203");
  EXPECT_EQ(ToHex(bytes.Resized(7, 0x36).span()), "01020304053636");
  SecretBytes moved = std::move(bytes);
  EXPECT_EQ(moved.size(), 5u);
  EXPECT_TRUE(bytes.empty());  // NOLINT(bugprone-use-after-move): a moved-from buffer holds nothing
}

TEST(Base64, DecodesAndRejects) {
  Bytes out;
  ASSERT_TRUE(DecodeBase64("DpYj4WNbM6JWXkuaGykRtA==", out));
  EXPECT_EQ(ToHex(out), "0e9623e1635b33a2565e4b9a1b2911b4");
  ASSERT_TRUE(DecodeBase64("TWFu", out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "Man");
  ASSERT_TRUE(DecodeBase64("TW E=\n", out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "Ma");
  ASSERT_TRUE(DecodeBase64("", out));
  EXPECT_TRUE(out.empty());
  for (const char* bad : {"TWFu!", "T", "TW=u", "TWE==", "TW===", "TWF=", "====="}) {
    EXPECT_FALSE(DecodeBase64(bad, out)) << bad;
  }
}

// ---- ECMA-376 standard AES, against the independently made fixture ----

class StandardAesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = ReadFileBytes(std::string(QV_SOURCE_DIR) + "/tests/engine/jet_crypto/data/standard_aes.bin");
    ASSERT_EQ(data_.size(), 3u * 4096);
  }
  std::span<const std::uint8_t> Page(std::size_t n) const {
    return std::span<const std::uint8_t>(data_).subspan(n * 4096, 4096);
  }
  // The fixture's password: 298 UTF-16 code units, of which Access keeps 255.
  static std::string Password(std::size_t xs = 290) {
    return std::string("Qv-\xc3\x84\xc3\xb6\xe2\x82\xac\xf0\x9d\x84\x9e") + std::string(xs, 'x');
  }
  Bytes data_;
};

TEST_F(StandardAesFixture, HeaderIsReadAsStandardAes) {
  EncryptionInfo info = DescribeEncryption(Page(0));
  EXPECT_EQ(info.scheme, Scheme::kAesStandard);
  EXPECT_EQ(info.cipher, "AES");
  EXPECT_EQ(info.keyBits, 128u);
  EXPECT_EQ(info.spinCount, 50'000u);
  EXPECT_EQ(info.versionMajor, 4);
  EXPECT_EQ(info.versionMinor, 2);
  EXPECT_EQ(info.provider, "Microsoft Enhanced RSA and AES Cryptographic Provider");
}

TEST_F(StandardAesFixture, DecryptsWhatTheOtherImplementationEncrypted) {
  auto codec = OpenEncryption(Page(0), Password(), 4096, "standard_aes.bin");
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->scheme(), Scheme::kAesStandard);
  Bytes page(Page(1).begin(), Page(1).end());
  codec->DecryptPage(1, page);
  EXPECT_TRUE(std::equal(page.begin(), page.end(), Page(2).begin()));
  codec->EncryptPage(1, page);
  EXPECT_TRUE(std::equal(page.begin(), page.end(), Page(1).begin()));
}

TEST_F(StandardAesFixture, OnlyTheFirst255CodeUnitsOfThePasswordCount) {
  // 8 code units before the x's: 247 x's make 255 units, any more are ignored.
  EXPECT_NE(OpenEncryption(Page(0), Password(247), 4096), nullptr);
  EXPECT_NE(OpenEncryption(Page(0), Password(1000), 4096), nullptr);
  try {
    OpenEncryption(Page(0), Password(246), 4096);
    ADD_FAILURE() << "a 254-unit prefix was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kWrongPassword);
  }
}

TEST_F(StandardAesFixture, PasswordThatIsNotUtf8IsWrong) {
  for (std::string bad : {std::string("\xff\xfe"), std::string("Qv-\xc3"), std::string("\xed\xa0\x80"),
                          std::string("\xc0\x80")}) {
    try {
      OpenEncryption(Page(0), bad, 4096);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kWrongPassword);
    }
  }
}

TEST_F(StandardAesFixture, MissingAesFlagMeansNoSpins) {
  // Clearing the AES flag turns the header into the non-standard variant, which derives its keys
  // without the 50,000 spins: the same password no longer fits.
  Bytes page0(Page(0).begin(), Page(0).end());
  page0[0x299 + 2 + 4] &= static_cast<std::uint8_t>(~0x20);
  EXPECT_EQ(DescribeEncryption(page0).scheme, Scheme::kAesNonStandard);
  EXPECT_THROW(OpenEncryption(page0, Password(), 4096), Error);
}

TEST(UnsupportedSchemes, AreRefusedWithTheEncryptedNumber) {
  Bytes file = ReadFileBytes(CorpusPath("mdb-reader/test/encryption/data/office-agile-4.2.accdb"));
  ASSERT_GE(file.size(), 4096u);
  Bytes page0(file.begin(), file.begin() + 4096);
  const std::size_t info = 0x299 + 2;
  auto expectEncrypted = [&](const Bytes& p, const char* what) {
    try {
      OpenEncryption(p, "password", 4096, "x.accdb");
      ADD_FAILURE() << what << " was opened";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kEncrypted) << what << ": " << e.description();
    }
  };
  Bytes extensible = page0;
  StoreU16(&extensible[info + 2], 3);  // version 4.3
  expectEncrypted(extensible, "extensible encryption");
  Bytes binaryRc4 = page0;
  StoreU16(&binaryRc4[info], 1);
  StoreU16(&binaryRc4[info + 2], 1);  // version 1.1
  expectEncrypted(binaryRc4, "Office binary RC4");
  Bytes external = page0;
  external[info + 4] |= 0x10;
  expectEncrypted(external, "an external provider");
}

}  // namespace
}  // namespace qv::jet::crypto::test
