#include "engine/jet/office_cipher.h"

#include <string>

#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"

namespace qv::jet {

namespace {

// Adapts the library's codec to the pager's hook. The codec is safe to call from several
// threads at once and keeps only derived keys, wiped when it is destroyed (with this adapter,
// when the last connection to the file closes).
class OfficePageCipher final : public PageCipher {
 public:
  explicit OfficePageCipher(std::unique_ptr<crypto::PageCodec> codec) : codec_(std::move(codec)) {}
  void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    codec_->DecryptPage(pageNo, page);
  }
  void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    codec_->EncryptPage(pageNo, page);
  }
  void ObserveWipe(WipeObserver observer) override { codec_->ObserveWipe(std::move(observer)); }

 private:
  std::unique_ptr<crypto::PageCodec> codec_;
};

}  // namespace

PageCipherFactory DefaultOfficeCipherFactory() {
  return [](const PageCipherRequest& req) -> std::unique_ptr<PageCipher> {
    std::unique_ptr<crypto::PageCodec> codec;
    try {
      codec = crypto::OpenEncryption(req.rawHeaderPage, req.password, req.pageSize, req.fileName);
    } catch (const Error& e) {
      // The library answers a wrong password with Access' words alone; the engine's error also
      // names the file (as the Jet password check does), and still nothing else.
      if (e.number() == errc::kWrongPassword)
        throw Error(errc::kWrongPassword, e.description(), std::string(req.fileName));
      throw;
    }
    if (!codec) return nullptr;
    return std::make_unique<OfficePageCipher>(std::move(codec));
  };
}

}  // namespace qv::jet
