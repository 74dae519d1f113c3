#include "engine/jet/crypto/secret_bytes.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

namespace qv::jet::crypto {

SecretBytes::SecretBytes(std::size_t size) : data_(new std::uint8_t[size]()), size_(size) {}

SecretBytes::SecretBytes(std::span<const std::uint8_t> bytes) : SecretBytes(bytes.size()) {
  if (!bytes.empty()) std::memcpy(data_.get(), bytes.data(), bytes.size());
}

SecretBytes::~SecretBytes() {
  Wipe();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept : data_(std::move(other.data_)), size_(other.size_) {
  other.size_ = 0;
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
  if (this != &other) {
    Wipe();
    data_ = std::move(other.data_);
    size_ = other.size_;
    other.size_ = 0;
  }
  return *this;
}

SecretBytes SecretBytes::Resized(std::size_t size, std::uint8_t pad) const {
  SecretBytes out(size);
  std::size_t keep = std::min(size, size_);
  if (keep > 0) std::memcpy(out.data(), data_.get(), keep);
  std::fill(out.data() + keep, out.data() + size, pad);
  return out;
}

void SecretBytes::Cleanse() noexcept {
  if (data_ && size_ > 0) OPENSSL_cleanse(data_.get(), size_);
}

void SecretBytes::Wipe() noexcept {
  if (data_ && size_ > 0) OPENSSL_cleanse(data_.get(), size_);
  data_.reset();
  size_ = 0;
}

}  // namespace qv::jet::crypto
