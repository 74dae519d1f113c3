// Key material and password bytes: a fixed-size buffer that is wiped (OPENSSL_cleanse, which the
// compiler may not optimise away) when it is destroyed or overwritten. It never grows, so no stale
// copy is left behind by a reallocation, and it cannot be copied by accident.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace qv::jet::crypto {

class SecretBytes {
 public:
  SecretBytes() = default;
  explicit SecretBytes(std::size_t size);
  explicit SecretBytes(std::span<const std::uint8_t> bytes);
  ~SecretBytes();

  SecretBytes(SecretBytes&& other) noexcept;
  SecretBytes& operator=(SecretBytes&& other) noexcept;
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;

  // An explicit copy, for the few places that need one.
  SecretBytes Clone() const { return SecretBytes(span()); }

  std::uint8_t* data() { return data_.get(); }
  const std::uint8_t* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::span<std::uint8_t> span() { return {data_.get(), size_}; }
  std::span<const std::uint8_t> span() const { return {data_.get(), size_}; }
  std::uint8_t& operator[](std::size_t i) { return data_[i]; }
  std::uint8_t operator[](std::size_t i) const { return data_[i]; }

  // The first `size` bytes, padded with `pad` when this buffer is shorter: the "fix to length"
  // rule the Office key derivations use.
  SecretBytes Resized(std::size_t size, std::uint8_t pad) const;

  // Zeroes the bytes in place (OPENSSL_cleanse) and keeps the buffer: for an owner that wants to
  // show the wiped bytes to a test before they are freed.
  void Cleanse() noexcept;

 private:
  void Wipe() noexcept;

  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
};

}  // namespace qv::jet::crypto
