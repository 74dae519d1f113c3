// Page 0 of an Access file: format version, page size, the database key that selects the page
// encoding, the code page of Jet3 text, the creation date and the stored database password.
// Offsets: docs/formats/jet.md, "Database header".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/core/bytes.h"
#include "engine/jet/format.h"

namespace qv::jet {

struct DatabaseHeader {
  JetVersion version = JetVersion::Jet4;
  Layout layout;
  bool ace = false;            // .accdb ("Standard ACE DB")
  std::uint16_t codePage = 0;  // code page Jet3 text is read in: 0x3c's, unless the opener named another
  std::uint16_t storedCodePage = 0;           // 0x3c: the code page the header names
  std::array<std::uint8_t, 4> databaseKey{};  // 0x3e: zero when pages are stored plain
  std::uint16_t sortOrder = 0;                // 0x3a (Jet3) or 0x6e (Jet4+)
  std::optional<double> creationDate;         // 0x72, Jet4 and later
  bool hasPassword = false;                   // a Jet3/Jet4 database password is stored
  Bytes plainPage;                            // page 0 with the masked region unmasked

  bool pagesEncoded() const { return databaseKey != std::array<std::uint8_t, 4>{}; }
  // .mdb: old RC4 page encoding. .accdb: Office page encryption with a password-derived key.
  bool officeEncrypted() const { return ace && pagesEncoded(); }
  bool rc4Encoded() const { return !ace && pagesEncoded(); }
};

// Decodes and validates page 0. `page0` may be longer or shorter than one page: the function
// reads what it needs and throws 3343 (errc::kNotADatabase) naming `fileName` when the bytes are
// not an Access header or the file is too short to hold one.
DatabaseHeader DecodeHeader(std::span<const std::uint8_t> page0, const std::string& fileName);

// True when `password` (UTF-8) opens the database: a file without a stored password accepts
// anything, as Access does; otherwise the comparison is exact and case-sensitive. The stored
// password never leaves this function.
bool PasswordMatches(const DatabaseHeader& header, std::string_view password);

// Throws 3031 (errc::kWrongPassword) when PasswordMatches is false.
void CheckPassword(const DatabaseHeader& header, std::string_view password, const std::string& fileName);

}  // namespace qv::jet
