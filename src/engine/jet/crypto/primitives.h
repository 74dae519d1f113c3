// The few cryptographic operations the Access encryption schemes need, each a thin wrapper over
// OpenSSL's libcrypto (low-level functions where EVP's per-call lookup would cost more than
// the work): message digests, AES in ECB and CBC mode without padding, and the RC4
// stream cipher. Nothing here keeps state between calls, so one codec may serve several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "engine/jet/crypto/secret_bytes.h"

// OpenSSL's cipher object (EVP_CIPHER), declared here so that this header needs no OpenSSL one.
struct evp_cipher_st;

namespace qv::jet::crypto {

enum class HashAlgorithm { kSha1, kSha256, kSha384, kSha512 };

std::size_t DigestSize(HashAlgorithm algorithm);

// The digest of the concatenation of `parts`, into `out` (at least DigestSize bytes; the caller
// wipes it when it holds key material). No allocation: the per-page key setup uses this one.
void DigestInto(HashAlgorithm algorithm, std::initializer_list<std::span<const std::uint8_t>> parts,
                std::span<std::uint8_t> out);

// The digest of the concatenation of `parts`.
SecretBytes Digest(HashAlgorithm algorithm, std::initializer_list<std::span<const std::uint8_t>> parts);

// The Office "iterated hash": h = H(salt + password), then `spinCount` times h = H(LE32(i) + h).
SecretBytes IteratedHash(HashAlgorithm algorithm, std::span<const std::uint8_t> salt,
                         std::span<const std::uint8_t> password, std::uint32_t spinCount);

enum class Chaining { kEcb, kCbc };

// AES with a 16, 24 or 32 byte key over whole 16-byte blocks, no padding. `in` and `out` have the
// same size and may be the same bytes. `iv` is ignored in ECB mode and must be 16 bytes in CBC mode.
void Aes(bool encrypt, Chaining chaining, std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
         std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// AES of one key size and chaining mode, for a codec that runs it on every page: the cipher is
// looked up once (EVP_CIPHER_fetch) instead of on every call, which was half the cost of Aes()
// on a 4 KiB page. The object is immutable and may be used by several threads at once.
class AesEngine {
 public:
  AesEngine(Chaining chaining, std::size_t keySize);
  ~AesEngine();
  AesEngine(const AesEngine&) = delete;
  AesEngine& operator=(const AesEngine&) = delete;
  // As Aes(), with a key of the engine's size.
  void Run(bool encrypt, std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
           std::span<const std::uint8_t> in, std::span<std::uint8_t> out) const;

 private:
  evp_cipher_st* cipher_ = nullptr;
  Chaining chaining_;
  std::size_t keySize_;
};

// RC4 keyed with `key`, applied in place from the start of the key stream (the same call encrypts
// and decrypts).
void Rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

// Overwrites `bytes` with zeros in a way the compiler may not drop (explicit_bzero, which is
// memset's speed; the per-page keys are wiped with it on every page).
void Cleanse(std::span<std::uint8_t> bytes) noexcept;

// Compares two byte strings in time that does not depend on where they differ.
bool ConstantTimeEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

}  // namespace qv::jet::crypto
