// RC4 sits in OpenSSL 3's "legacy" provider, which EVP reaches only after loading that provider
// into a library context (process-wide, or one per database). libcrypto 3 still exports the
// low-level RC4 functions, which need no provider, so RC4 goes through them. The hashes do too:
// every EVP digest call looks its implementation up again (EVP_DigestInit_ex and _Final cost
// about four times the SHA-1 work itself, measured with callgrind), which is paid 100,000
// times by an agile key derivation and once or three times per page by the binary schemes. The
// low-level SHA functions have no lookup, no allocation and no shared state. The macro must
// precede every OpenSSL header.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "engine/jet/crypto/primitives.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rc4.h>
#include <openssl/sha.h>
#include <string.h>  // explicit_bzero

#include <memory>
#include <string>

#include "engine/core/bytes.h"
#include "engine/core/error.h"

namespace qv::jet::crypto {
namespace {

[[noreturn]] void ThrowLibraryFailure(const char* what) {
  throw Error(errc::kGeneric, std::string("The cryptographic library failed (") + what + ").");
}

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// The low-level hash functions of one algorithm.
template <typename Ctx, int (*InitFn)(Ctx*), int (*UpdateFn)(Ctx*, const void*, size_t),
          int (*FinalFn)(unsigned char*, Ctx*)>
struct LowLevelHash {
  using Context = Ctx;
  static void Run(Ctx& ctx, std::initializer_list<std::span<const std::uint8_t>> parts, std::uint8_t* out) {
    if (InitFn(&ctx) != 1) ThrowLibraryFailure("digest init");
    for (auto part : parts) {
      if (!part.empty() && UpdateFn(&ctx, part.data(), part.size()) != 1) ThrowLibraryFailure("digest");
    }
    if (FinalFn(out, &ctx) != 1) ThrowLibraryFailure("digest final");
  }
};
using Sha1 = LowLevelHash<SHA_CTX, SHA1_Init, SHA1_Update, SHA1_Final>;
using Sha256 = LowLevelHash<SHA256_CTX, SHA256_Init, SHA256_Update, SHA256_Final>;
using Sha384 = LowLevelHash<SHA512_CTX, SHA384_Init, SHA384_Update, SHA384_Final>;
using Sha512 = LowLevelHash<SHA512_CTX, SHA512_Init, SHA512_Update, SHA512_Final>;

// Calls `f` with the hash type of `algorithm`.
template <typename F>
void WithHash(HashAlgorithm algorithm, F&& f) {
  switch (algorithm) {
    case HashAlgorithm::kSha1:
      return f(Sha1{});
    case HashAlgorithm::kSha256:
      return f(Sha256{});
    case HashAlgorithm::kSha384:
      return f(Sha384{});
    case HashAlgorithm::kSha512:
      return f(Sha512{});
  }
  ThrowLibraryFailure("unknown digest");
}

// A hash state that held key material is wiped when it goes (explicit_bzero: a memset the
// compiler may not drop; OPENSSL_cleanse is several times slower on these small buffers, 6% of
// an agile key derivation when it ran after every spin). The spins share one state.
template <typename Ctx>
struct WipedState {
  Ctx ctx;
  ~WipedState() { explicit_bzero(&ctx, sizeof ctx); }
};

const EVP_CIPHER* AesCipher(Chaining chaining, std::size_t keySize) {
  bool cbc = chaining == Chaining::kCbc;
  switch (keySize) {
    case 16:
      return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24:
      return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 32:
      return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default:
      break;
  }
  throw Error(errc::kGeneric, "An AES key must be 16, 24 or 32 bytes long.");
}

}  // namespace

std::size_t DigestSize(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::kSha1:
      return SHA_DIGEST_LENGTH;
    case HashAlgorithm::kSha256:
      return SHA256_DIGEST_LENGTH;
    case HashAlgorithm::kSha384:
      return SHA384_DIGEST_LENGTH;
    case HashAlgorithm::kSha512:
      return SHA512_DIGEST_LENGTH;
  }
  ThrowLibraryFailure("unknown digest");
}

void DigestInto(HashAlgorithm algorithm, std::initializer_list<std::span<const std::uint8_t>> parts,
                std::span<std::uint8_t> out) {
  if (out.size() < DigestSize(algorithm))
    throw Error(errc::kInvalidArgument, "A digest buffer is too small.");
  WithHash(algorithm, [&](auto hash) {
    WipedState<typename decltype(hash)::Context> state;
    hash.Run(state.ctx, parts, out.data());
  });
}

SecretBytes Digest(HashAlgorithm algorithm, std::initializer_list<std::span<const std::uint8_t>> parts) {
  SecretBytes out(DigestSize(algorithm));
  DigestInto(algorithm, parts, out.span());
  return out;
}

SecretBytes IteratedHash(HashAlgorithm algorithm, std::span<const std::uint8_t> salt,
                         std::span<const std::uint8_t> password, std::uint32_t spinCount) {
  SecretBytes h(DigestSize(algorithm));
  WithHash(algorithm, [&](auto hash) {
    // One state for every spin, wiped once at the end.
    WipedState<typename decltype(hash)::Context> state;
    hash.Run(state.ctx, {salt, password}, h.data());
    std::uint8_t counter[4];
    for (std::uint32_t i = 0; i < spinCount; ++i) {
      StoreU32(counter, i);
      // The digest reads all of `h` before it writes the new value over it.
      hash.Run(state.ctx, {std::span<const std::uint8_t>(counter), h.span()}, h.data());
    }
  });
  return h;
}

namespace {

// One AES pass with a given cipher object; the shared body of Aes() and AesCipher::Run().
void RunAes(const EVP_CIPHER* cipher, bool encrypt, Chaining chaining, std::span<const std::uint8_t> key,
            std::span<const std::uint8_t> iv, std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  if (in.size() != out.size() || in.size() % 16 != 0) {
    throw Error(errc::kInvalidArgument, "AES works on whole 16-byte blocks.");
  }
  if (chaining == Chaining::kCbc && iv.size() != 16) {
    throw Error(errc::kInvalidArgument, "An AES initialisation vector must be 16 bytes long.");
  }
  if (in.empty()) return;
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) ThrowLibraryFailure("cipher context");
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key.data(),
                        chaining == Chaining::kCbc ? iv.data() : nullptr, encrypt ? 1 : 0) != 1) {
    ThrowLibraryFailure("cipher init");
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  int outLen = 0;
  if (EVP_CipherUpdate(ctx.get(), out.data(), &outLen, in.data(), static_cast<int>(in.size())) != 1) {
    ThrowLibraryFailure("cipher");
  }
  int finalLen = 0;
  if (EVP_CipherFinal_ex(ctx.get(), out.data() + outLen, &finalLen) != 1 ||
      static_cast<std::size_t>(outLen + finalLen) != in.size()) {
    ThrowLibraryFailure("cipher final");
  }
}

}  // namespace

void Aes(bool encrypt, Chaining chaining, std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
         std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  RunAes(AesCipher(chaining, key.size()), encrypt, chaining, key, iv, in, out);
}

AesEngine::AesEngine(Chaining chaining, std::size_t keySize) : chaining_(chaining), keySize_(keySize) {
  // The same algorithm the legacy getter names, looked up in the default library context once.
  const char* name = EVP_CIPHER_get0_name(AesCipher(chaining, keySize));
  cipher_ = EVP_CIPHER_fetch(nullptr, name, nullptr);
  if (!cipher_) ThrowLibraryFailure("cipher fetch");
}

AesEngine::~AesEngine() {
  EVP_CIPHER_free(cipher_);
}

void AesEngine::Run(bool encrypt, std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                    std::span<const std::uint8_t> in, std::span<std::uint8_t> out) const {
  if (key.size() != keySize_)
    throw Error(errc::kInvalidArgument, "The AES key does not have the cipher's size.");
  RunAes(cipher_, encrypt, chaining_, key, iv, in, out);
}

void Rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
  if (key.empty()) throw Error(errc::kInvalidArgument, "An RC4 key cannot be empty.");
  RC4_KEY schedule;
  RC4_set_key(&schedule, static_cast<int>(key.size()), key.data());
  if (!data.empty()) RC4(&schedule, data.size(), data.data(), data.data());
  explicit_bzero(&schedule, sizeof schedule);
}

void Cleanse(std::span<std::uint8_t> bytes) noexcept {
  if (!bytes.empty()) explicit_bzero(bytes.data(), bytes.size());
}

bool ConstantTimeEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace qv::jet::crypto
