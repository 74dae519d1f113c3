// Opening the page encryption of an Access database.
//
//   std::unique_ptr<PageCodec> codec = OpenEncryption(page0, password, pageSize, fileName);
//   if (codec) codec->DecryptPage(n, page);   // every page n > 0 read from the file
//
// Supported: the Office schemes of ACE databases (.accdb, Access 2007 and later) - RC4 CryptoAPI,
// ECMA-376 standard AES, the "non-standard" AES variant and agile AES with SHA-1/SHA-2 - and the
// password-less RC4 page encoding of Jet3/Jet4 databases. The formats are described in
// docs/formats/jet-encryption.md.
//
// Secrets: the password is turned into key material inside OpenEncryption and is not kept; the
// returned codec holds only derived keys, in buffers wiped when it is destroyed. No error text
// ever contains the password, a key or a decrypted byte.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/jet/crypto/page_codec.h"

namespace qv::jet::crypto {

// What page 0 says about the encryption, without any secret: for messages and the dump tool.
struct EncryptionInfo {
  Scheme scheme = Scheme::kNone;
  std::uint8_t formatVersion = 0;  // page 0 byte 0x14: 0 Jet3, 1 Jet4, 2.. ACE
  std::uint16_t versionMajor = 0;  // Office structure version (ACE schemes only)
  std::uint16_t versionMinor = 0;
  std::string cipher;  // "RC4", "AES"; empty for kNone
  std::uint32_t keyBits = 0;
  std::string hash;  // "SHA1", "SHA512", ...; empty where no hash is used
  std::uint32_t spinCount = 0;
  std::string provider;  // CryptoAPI provider name of the binary schemes

  // True for the schemes keyed by a password (all but kNone and kJetRc4).
  bool usesPassword() const { return scheme != Scheme::kNone && scheme != Scheme::kJetRc4; }
};

// Reads the encryption information of page 0 (the whole first page, exactly as stored).
// Throws qv::Error: kCorrupt for a damaged structure (the text names `file`, page 0 and the
// offset), kEncrypted for a scheme this engine cannot open.
EncryptionInfo DescribeEncryption(std::span<const std::uint8_t> page0, std::string_view file = {});

// Opens the page cipher of a database, or returns null when its pages are not encrypted.
//   page0     the whole first page exactly as stored in the file (not unmasked, not decrypted)
//   password  the database password as UTF-8; empty when none was given. At most 255 UTF-16
//             code units count, as in Access. Ignored by the Jet3/Jet4 page encoding.
//   pageSize  the database's page size (2048 for Jet3, 4096 otherwise); every page handed to the
//             codec must have this size.
//   file      names the database in error texts only.
// Throws qv::Error: kWrongPassword (3031, "Not a valid password.") when the password does not
// open an ACE database, whether wrong or missing; kCorrupt and kEncrypted as DescribeEncryption;
// kInvalidArgument for a page size of 0.
std::unique_ptr<PageCodec> OpenEncryption(std::span<const std::uint8_t> page0, std::string_view password,
                                          std::uint32_t pageSize, std::string_view file = {});

// Opens the page cipher of a file with OpenEncryption's arguments and errors. Database::Open
// takes one in its options and uses OpenEncryption itself when none is given; tests wrap the
// codecs it makes to count the pages they decrypt or to watch their keys being wiped.
using PageCodecFactory =
    std::function<std::unique_ptr<PageCodec>(std::span<const std::uint8_t> page0, std::string_view password,
                                             std::uint32_t pageSize, std::string_view file)>;

}  // namespace qv::jet::crypto
