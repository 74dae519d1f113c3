// Input: page 0 of a database (its first 4096 bytes; a shorter input is a truncated page 0),
// then, past byte 4096, the password. The harness requires a clean qv::Error or a codec whose
// encryption undoes its decryption.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kPage = 4096;
  std::span<const std::uint8_t> page0(data, size < kPage ? size : kPage);
  std::string_view password = "password";
  if (size > kPage) password = std::string_view(reinterpret_cast<const char*>(data + kPage), size - kPage);
  try {
    auto codec = qv::jet::crypto::OpenEncryption(page0, password, kPage, "fuzz.accdb");
    if (codec) {
      std::vector<std::uint8_t> page(page0.begin(), page0.end());
      page.resize(kPage, 0xa5);
      std::vector<std::uint8_t> original = page;
      codec->DecryptPage(7, page);
      codec->EncryptPage(7, page);
      if (page != original) std::abort();
    }
    (void)qv::jet::crypto::DescribeEncryption(page0, "fuzz.accdb");
  } catch (const qv::Error&) {
    // A clean refusal.
  }
  return 0;
}
