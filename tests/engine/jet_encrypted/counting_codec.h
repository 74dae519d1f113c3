// A page cipher that counts the pages it decrypts, around the one the page-encryption library
// makes for the file: open options whose cipher counts into a DecryptCounts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>

#include "engine/jet/crypto/encryption.h"
#include "engine/jet/database.h"

namespace qv::jet::testing {

// Decryptions of each page (the pager's worker and the reader decrypt on different threads).
struct DecryptCounts {
  std::mutex mu;
  std::map<std::uint32_t, int> times;
};

class CountingCodec final : public crypto::PageCodec {
 public:
  CountingCodec(std::unique_ptr<crypto::PageCodec> inner, DecryptCounts& counts)
      : inner_(std::move(inner)), counts_(counts) {}
  void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    {
      std::lock_guard lock(counts_.mu);
      ++counts_.times[pageNo];
    }
    inner_->DecryptPage(pageNo, page);
  }
  void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const override {
    inner_->EncryptPage(pageNo, page);
  }
  crypto::Scheme scheme() const override { return inner_->scheme(); }
  void ObserveWipe(WipeObserver observer) override { inner_->ObserveWipe(std::move(observer)); }

 private:
  std::unique_ptr<crypto::PageCodec> inner_;
  DecryptCounts& counts_;
};

inline OpenOptions Counted(const std::string& password, DecryptCounts& counts) {
  OpenOptions options;
  options.password = password;
  options.codecFactory = [&counts](std::span<const std::uint8_t> page0, std::string_view pw,
                                   std::uint32_t pageSize,
                                   std::string_view file) -> std::unique_ptr<crypto::PageCodec> {
    auto inner = crypto::OpenEncryption(page0, pw, pageSize, file);
    if (!inner) return nullptr;
    return std::make_unique<CountingCodec>(std::move(inner), counts);
  };
  return options;
}

}  // namespace qv::jet::testing
