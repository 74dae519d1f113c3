// All little-endian and big-endian byte coding of the engines lives here: readers never cast a
// struct onto bytes. ByteView keeps an end, so every read is bounds-checked against the page or
// block it came from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace qv {

using Bytes = std::vector<std::uint8_t>;

inline std::uint16_t LoadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadU24(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16);
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadU32(p)) | (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}
inline std::uint16_t LoadU16BE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t LoadU32BE(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline std::uint64_t LoadU64BE(const std::uint8_t* p) {
  return (static_cast<std::uint64_t>(LoadU32BE(p)) << 32) | LoadU32BE(p + 4);
}
inline double LoadF64(const std::uint8_t* p) {
  std::uint64_t bits = LoadU64(p);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
inline float LoadF32(const std::uint8_t* p) {
  std::uint32_t bits = LoadU32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU24(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
  StoreU16(p, static_cast<std::uint16_t>(v));
  StoreU16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void StoreU64(std::uint8_t* p, std::uint64_t v) {
  StoreU32(p, static_cast<std::uint32_t>(v));
  StoreU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void StoreU16BE(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline void StoreU32BE(std::uint8_t* p, std::uint32_t v) {
  StoreU16BE(p, static_cast<std::uint16_t>(v >> 16));
  StoreU16BE(p + 2, static_cast<std::uint16_t>(v));
}
inline void StoreU64BE(std::uint8_t* p, std::uint64_t v) {
  StoreU32BE(p, static_cast<std::uint32_t>(v >> 32));
  StoreU32BE(p + 4, static_cast<std::uint32_t>(v));
}
inline void StoreF64(std::uint8_t* p, double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  StoreU64(p, b);
}
inline void StoreF32(std::uint8_t* p, float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  StoreU32(p, b);
}
// Appending writers, for structures built front to back (definitions, property lists).
inline void AppendU16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void AppendU32(Bytes& b, std::uint32_t v) {
  AppendU16(b, static_cast<std::uint16_t>(v));
  AppendU16(b, static_cast<std::uint16_t>(v >> 16));
}

// A bounds-checked window on a page, block or record. Reads past the end throw a corruption
// error that names the window's place (set by the owner) and the offset.
class ByteView {
 public:
  ByteView() = default;
  ByteView(const std::uint8_t* data, std::size_t size, std::string place = {})
      : data_(data), size_(size), place_(std::move(place)) {}
  explicit ByteView(std::span<const std::uint8_t> s, std::string place = {})
      : data_(s.data()), size_(s.size()), place_(std::move(place)) {}

  std::size_t size() const { return size_; }
  const std::uint8_t* data() const { return data_; }
  const std::string& place() const { return place_; }

  // Throws unless [offset, offset + length) lies inside the view.
  void Require(std::size_t offset, std::size_t length) const;

  std::uint8_t U8(std::size_t off) const {
    Require(off, 1);
    return data_[off];
  }
  std::uint16_t U16(std::size_t off) const {
    Require(off, 2);
    return LoadU16(data_ + off);
  }
  std::uint32_t U24(std::size_t off) const {
    Require(off, 3);
    return LoadU24(data_ + off);
  }
  std::uint32_t U32(std::size_t off) const {
    Require(off, 4);
    return LoadU32(data_ + off);
  }
  std::uint64_t U64(std::size_t off) const {
    Require(off, 8);
    return LoadU64(data_ + off);
  }
  std::uint16_t U16BE(std::size_t off) const {
    Require(off, 2);
    return LoadU16BE(data_ + off);
  }
  std::uint32_t U32BE(std::size_t off) const {
    Require(off, 4);
    return LoadU32BE(data_ + off);
  }
  double F64(std::size_t off) const {
    Require(off, 8);
    return LoadF64(data_ + off);
  }
  float F32(std::size_t off) const {
    Require(off, 4);
    return LoadF32(data_ + off);
  }
  ByteView Sub(std::size_t off, std::size_t length) const {
    Require(off, length);
    return ByteView(data_ + off, length, place_);
  }
  std::span<const std::uint8_t> Span(std::size_t off, std::size_t length) const {
    Require(off, length);
    return {data_ + off, length};
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::string place_;
};

// Lower-case hexadecimal of bytes, as the oracles print binary values.
std::string ToHex(std::span<const std::uint8_t> bytes);
// Parses hexadecimal (either case, even length, optional "0x"); false on anything else.
bool FromHex(std::string_view text, Bytes& out);

}  // namespace qv
