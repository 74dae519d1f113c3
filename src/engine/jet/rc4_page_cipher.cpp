#include "engine/jet/rc4_page_cipher.h"

#include <utility>

#include "engine/jet/crypto/primitives.h"

namespace qv::jet {
namespace {

// Zeroes key bytes through a volatile pointer, so the stores cannot be dropped as dead.
void WipeBytes(std::uint8_t* p, std::size_t n) noexcept {
  volatile std::uint8_t* v = p;
  for (std::size_t i = 0; i < n; ++i) v[i] = 0;
}

}  // namespace

void Rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
  crypto::Rc4(key, data);
}

Rc4PageCipher::~Rc4PageCipher() {
  WipeBytes(key_.data(), key_.size());
  if (observer_) {
    try {
      observer_(key_);
    } catch (...) {
    }
  }
}

void Rc4PageCipher::DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const {
  std::array<std::uint8_t, 4> k = key_;
  for (int i = 0; i < 4; ++i) k[i] ^= static_cast<std::uint8_t>(pageNo >> (8 * i));
  Rc4Apply(k, page);
  WipeBytes(k.data(), k.size());
}

void Rc4PageCipher::EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const {
  DecryptPage(pageNo, page);  // RC4 is its own inverse
}

}  // namespace qv::jet
