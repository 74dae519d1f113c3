// The page cipher of an Access database: the one object through which the pager turns pages as
// stored into pages as read, and back. It covers every kind of page encryption a file can carry:
// the old password-less RC4 page encoding of Jet3/Jet4 ".mdb" files and the Office schemes of
// password-protected ".accdb" files. OpenEncryption (encryption.h) makes the right one from
// page 0; docs/formats/jet-encryption.md describes the schemes and how each keys a page by its
// number.
//
// A codec sees nothing but whole pages and their numbers, so it needs to know nothing about
// tables or rows. Page 0 (the database header) is never encrypted: its masked header region is
// the header decoder's business, and the encryption header inside it must be readable first.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace qv::jet::crypto {

enum class Scheme {
  kNone,            // pages are stored in clear
  kJetRc4,          // Jet3/Jet4 page encoding: RC4 keyed by the header's encoding key, no password
  kRc4CryptoApi,    // Office RC4 CryptoAPI (structure versions 2.2/3.2/4.2): Access 2007 and 2010
  kAesStandard,     // ECMA-376 standard encryption: AES-ECB, SHA-1, 50,000 hash spins
  kAesNonStandard,  // the same without hash spins, written when the structure lacks the AES flag
  kAgile,           // agile encryption (4.4): XML descriptor, AES-CBC, SHA-1 or SHA-2, spin count
};

// A short English name: "RC4 CryptoAPI", "agile AES", ...
std::string_view SchemeName(Scheme scheme);

class PageCodec {
 public:
  virtual ~PageCodec() = default;

  // Decrypts one whole page in place, right after the disk read. `pageNo` is the page's number in
  // the file (its byte offset divided by the page size); the key of every page depends on it.
  // Page 0 is never encrypted and is left as it is. A span that is not exactly one page (2048
  // bytes for Jet3, 4096 otherwise) gives kInvalidArgument.
  virtual void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const = 0;

  // The exact inverse of DecryptPage, right before the disk write: EncryptPage(n, p) after
  // DecryptPage(n, p) gives back the bytes that were stored. The write side calls it for every
  // page a checkpoint writes, new pages past the old end included.
  virtual void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const = 0;

  virtual Scheme scheme() const = 0;

  // Test hook over the key material. Every key a codec keeps between calls (the encoding key and
  // the password-derived secret) lives in one buffer, wiped with OPENSSL_cleanse in the codec's
  // destructor; `observer` is then called once with that buffer, after the wipe and before it is
  // freed, so a test can check that nothing is left. Per-page keys live on the stack of one call
  // and are wiped before it returns. The pager's codec is destroyed when the last connection to
  // the file closes (the shared page store owns it).
  using WipeObserver = std::function<void(std::span<const std::uint8_t> wipedKeys)>;
  virtual void ObserveWipe(WipeObserver observer) = 0;

  // Codecs hold only key material fixed at opening; DecryptPage and EncryptPage may run on
  // several threads at once (the pager's read-ahead worker decrypts beside the reader).
};

}  // namespace qv::jet::crypto
