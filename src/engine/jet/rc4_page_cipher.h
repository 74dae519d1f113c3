// The old page encoding of Jet3 and Jet4 files: RC4 over each whole page, keyed with the 4-byte
// database key of the header XOR the page number. It hides the data from a casual look and is
// not encryption in any real sense; the same RC4 with a fixed key also masks part of page 0.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/jet/page_cipher.h"

namespace qv::jet {

// RC4 keystream applied in place (encoding and decoding are the same operation): the
// page-encryption library's RC4 (OpenSSL), so an empty key is an error (3001) here too.
void Rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

// The database key is no secret (page 0 holds it), but it is wiped like any key when the cipher
// goes, so that no page key can be rebuilt from a freed cipher.
class Rc4PageCipher final : public PageCipher {
 public:
  explicit Rc4PageCipher(std::array<std::uint8_t, 4> databaseKey) : key_(databaseKey) {}
  ~Rc4PageCipher() override;
  Rc4PageCipher(const Rc4PageCipher&) = delete;
  Rc4PageCipher& operator=(const Rc4PageCipher&) = delete;
  void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override;
  void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override;
  void ObserveWipe(WipeObserver observer) override { observer_ = std::move(observer); }

 private:
  std::array<std::uint8_t, 4> key_;
  WipeObserver observer_;
};

}  // namespace qv::jet
