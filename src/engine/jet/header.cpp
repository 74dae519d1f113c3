#include "engine/jet/header.h"

#include <cmath>
#include <cstring>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/jet/crypto/encryption_header.h"
#include "engine/jet/crypto/primitives.h"
#include "engine/jet/jet_text.h"

namespace qv::jet {
namespace {

constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kCodePageOffset = 0x3c;
constexpr std::size_t kDatabaseKeyOffset = 0x3e;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kJet3SortOrderOffset = 0x3a;
constexpr std::size_t kJet4SortOrderOffset = 0x6e;
constexpr std::size_t kCreationDateOffset = 0x72;

[[noreturn]] void NotADatabase(const std::string& fileName, const std::string& why) {
  throw Error(errc::kNotADatabase, "Unrecognized database format '" + fileName + "': " + why + ".",
              fileName + ", page 0");
}

// The stored password with every mask removed; empty when none is set.
std::string StoredPassword(const DatabaseHeader& h) {
  const Layout& l = h.layout;
  Bytes pw(h.plainPage.begin() + kPasswordOffset, h.plainPage.begin() + kPasswordOffset + l.passwordLength);
  if (h.creationDate) {
    // Jet4 also masks the password with the whole days of the creation date, repeated.
    double days = std::floor(*h.creationDate);
    std::uint32_t m = (days >= -2147483648.0 && days <= 2147483647.0)
                          ? static_cast<std::uint32_t>(static_cast<std::int32_t>(days))
                          : 0;
    for (std::size_t i = 0; i < pw.size(); ++i) pw[i] ^= static_cast<std::uint8_t>(m >> (8 * (i % 4)));
  }
  bool empty = true;
  for (auto b : pw) empty = empty && b == 0;
  if (empty) return {};
  std::string text;
  if (l.jet3) {
    std::size_t n = 0;
    while (n < pw.size() && pw[n] != 0) ++n;
    TextCodec codec(TextCodec::CharsetForCodePage(h.codePage ? h.codePage : 1252));
    text = codec.ToUtf8(std::span<const std::uint8_t>(pw.data(), n));
  } else {
    text = DecodeJet4Text(pw);
    auto nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
  }
  std::memset(pw.data(), 0, pw.size());
  return text;
}

}  // namespace

DatabaseHeader DecodeHeader(std::span<const std::uint8_t> page0, const std::string& fileName) {
  if (page0.size() < 0x100) NotADatabase(fileName, "the file is too short to be an Access database");
  static const char kJet[] = "Standard Jet DB";
  static const char kAce[] = "Standard ACE DB";
  if (page0[0] != page_type::kHeader) NotADatabase(fileName, "page 0 is not a database header");
  bool jet = std::memcmp(page0.data() + 4, kJet, sizeof kJet) == 0;
  bool ace = std::memcmp(page0.data() + 4, kAce, sizeof kAce) == 0;
  if (!jet && !ace) {
    if (std::memcmp(page0.data() + 4, "MSISAM Database", 15) == 0)
      NotADatabase(fileName, "Microsoft Money (MSISAM) files are not Access databases");
    NotADatabase(fileName, "no Access signature at offset 4");
  }
  std::uint8_t vb = page0[kVersionOffset];
  if (vb > static_cast<std::uint8_t>(JetVersion::Ace17))
    NotADatabase(fileName, "unknown format version " + std::to_string(vb));
  DatabaseHeader h;
  h.version = static_cast<JetVersion>(vb);
  h.layout = Layout::For(h.version);
  h.ace = ace;
  if (ace != (h.version >= JetVersion::Ace12))
    NotADatabase(fileName, "the signature does not match the format version");
  if (page0.size() < h.layout.pageSize)
    NotADatabase(fileName, "the file is shorter than one page (truncated)");
  h.plainPage.assign(page0.begin(), page0.begin() + h.layout.pageSize);
  crypto::Rc4(crypto::kHeaderMaskKey, std::span<std::uint8_t>(h.plainPage.data() + crypto::kHeaderMaskOffset,
                                                              h.layout.headerMaskLength));
  const auto* p = h.plainPage.data();
  h.codePage = h.storedCodePage = LoadU16(p + kCodePageOffset);
  std::memcpy(h.databaseKey.data(), p + kDatabaseKeyOffset, 4);
  if (h.layout.jet3) {
    h.sortOrder = LoadU16(p + kJet3SortOrderOffset);
  } else {
    h.sortOrder = LoadU16(p + kJet4SortOrderOffset);
    h.creationDate = LoadF64(p + kCreationDateOffset);
  }
  if (!ace) {
    std::string pw = StoredPassword(h);
    h.hasPassword = !pw.empty();
    std::fill(pw.begin(), pw.end(), '\0');
  }
  return h;
}

bool PasswordMatches(const DatabaseHeader& header, std::string_view password) {
  if (header.ace || !header.hasPassword) return true;
  std::string stored = StoredPassword(header);
  bool same = stored.size() == password.size();
  for (std::size_t i = 0; same && i < stored.size(); ++i) same = stored[i] == password[i];
  std::fill(stored.begin(), stored.end(), '\0');
  return same;
}

void CheckPassword(const DatabaseHeader& header, std::string_view password, const std::string& fileName) {
  if (!PasswordMatches(header, password))
    throw Error(errc::kWrongPassword, "Not a valid password for the database '" + fileName + "'.", fileName);
}

}  // namespace qv::jet
