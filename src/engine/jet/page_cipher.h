// The hook through which whole-page encryption reaches the pager. The pager reads every page of a
// database through one PageCipher (when the file has page encryption) right after the disk read,
// and the write side encrypts through the same object right before the disk write. The cipher never sees
// anything but whole pages and their numbers, so it needs to know nothing about tables or rows.
//
// Two kinds of page encoding exist in Access files:
//  - Jet3/Jet4 ".mdb" files may carry the old per-page RC4 encoding (flag in the header, key in
//    the header); the engine decodes it itself (Rc4PageCipher in rc4_page_cipher.h).
//  - ".accdb" files protected with a database password have their pages encrypted with a key
//    derived from the password (RC4 CryptoAPI, ECMA-376 standard or agile encryption). That cipher
//    is built by the page-encryption library (src/engine/jet/crypto) from the encryption header kept
//    in page 0, and handed to the engine through a PageCipherFactory in the open options.
//
// Page 0 (the database header) is never passed through a PageCipher: its masked header region is
// handled by the header decoder, and the encryption header inside it must be readable first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace qv::jet {

class PageCipher {
 public:
  virtual ~PageCipher() = default;
  // Turns page `pageNo` as stored on disk into its plain content, in place. `page` is exactly one
  // page (2048 bytes for Jet3, 4096 otherwise). Never called for page 0.
  virtual void DecryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const = 0;
  // The reverse of DecryptPage: plain content to the bytes written to disk, in place. The write
  // side calls it for every page a checkpoint writes (new pages past the old end included); the
  // page number keys the page exactly as DecryptPage does.
  virtual void EncryptPage(std::uint32_t pageNo, std::span<std::uint8_t> page) const = 0;

  // Test hook over the key material. A cipher keeps its keys until it is destroyed, which happens
  // when the last connection to the file closes (the shared page store owns it). Its destructor
  // wipes them and then calls `observer` once with the bytes that held them (still allocated),
  // so a test can see that they are zero. A cipher without key material never calls it.
  using WipeObserver = std::function<void(std::span<const std::uint8_t> wipedKeys)>;
  virtual void ObserveWipe(WipeObserver observer) { (void)observer; }
};

// What the engine knows about an .accdb file when it asks for a cipher.
struct PageCipherRequest {
  std::string_view fileName;                    // for error texts ("where"); never the password
  std::span<const std::uint8_t> rawHeaderPage;  // page 0 exactly as on disk, one page long
  std::span<const std::uint8_t> headerPage;     // page 0 with its RC4-masked header region
                                                // (128 bytes from 0x18) already unmasked; the
                                                // encryption header starts at 0x299
  std::uint32_t pageSize = 4096;
  std::uint8_t versionByte = 0;  // header offset 0x14: 2 = ACE12, 3 = ACE14, ...
  std::string_view password;     // UTF-8, as the connection string gave it
};

// Returns the cipher for an encrypted .accdb, or throws qv::Error: 3031 (errc::kWrongPassword) for
// a wrong or missing password, 3049 (errc::kCorrupt) for a damaged encryption header, 3033
// (errc::kEncrypted) for a scheme it cannot open. The engine calls it only for files whose
// header says that the pages are encrypted.
using PageCipherFactory = std::function<std::unique_ptr<PageCipher>(const PageCipherRequest&)>;

}  // namespace qv::jet
