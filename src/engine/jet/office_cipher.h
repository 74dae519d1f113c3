// The cipher of password-encrypted .accdb files, from the page-encryption library
// (src/engine/jet/crypto, target qv_jet_crypto). Database::Open uses it when the open options
// bring no PageCipherFactory of their own.
#pragma once

#include "engine/jet/page_cipher.h"

namespace qv::jet {

// The factory backed by the page-encryption library.
PageCipherFactory DefaultOfficeCipherFactory();

}  // namespace qv::jet
