// Hands the pages of an encrypted .accdb to the page-encryption library: the jet reader asks its
// PageCipherFactory for a cipher when page 0 says the pages are encrypted, and this factory
// answers with the library's codec for the scheme page 0 describes.
#include <string>

#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"
#include "engine/providers/provider.h"

namespace qv::providers {
namespace {

class CodecCipher final : public qv::jet::PageCipher {
 public:
  explicit CodecCipher(std::unique_ptr<qv::jet::crypto::PageCodec> codec) : codec_(std::move(codec)) {}
  // The codec keeps only key material fixed at opening, so decoding through a const cipher is
  // sound even though the codec's own calls are not marked const.
  void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override { codec_->DecryptPage(pageNo, page); }
  void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override { codec_->EncryptPage(pageNo, page); }

 private:
  std::unique_ptr<qv::jet::crypto::PageCodec> codec_;
};

}  // namespace

qv::jet::PageCipherFactory EncryptionCipherFactory() {
  return [](const qv::jet::PageCipherRequest& request) -> std::unique_ptr<qv::jet::PageCipher> {
    auto codec = qv::jet::crypto::OpenEncryption(request.rawHeaderPage, request.password, request.pageSize,
                                                 request.fileName);
    if (!codec)
      throw qv::Error(qv::errc::kNotSupported,
                      "The page encryption of '" + std::string(request.fileName) + "' is not supported.",
                      std::string(request.fileName));
    return std::make_unique<CodecCipher>(std::move(codec));
  };
}

}  // namespace qv::providers
