// The page codecs of each scheme. Opening one derives the keys from the password, checks them
// against the verifier the database keeps, and throws kWrongPassword when they do not match.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/jet/crypto/encryption_header.h"
#include "engine/jet/crypto/page_codec.h"
#include "engine/jet/crypto/secret_bytes.h"

namespace qv::jet::crypto {

// `password` is the password as UTF-16LE bytes (at most 255 code units).
std::unique_ptr<PageCodec> MakeJetRc4Codec(const CryptInfo& info, std::uint32_t pageSize);
std::unique_ptr<PageCodec> MakeRc4CryptoApiCodec(const CryptInfo& info, const SecretBytes& password,
                                                 std::uint32_t pageSize);
std::unique_ptr<PageCodec> MakeAesBinaryCodec(const CryptInfo& info, const SecretBytes& password,
                                              std::uint32_t pageSize);
std::unique_ptr<PageCodec> MakeAgileCodec(const CryptInfo& info, const SecretBytes& password,
                                          std::uint32_t pageSize);

}  // namespace qv::jet::crypto
