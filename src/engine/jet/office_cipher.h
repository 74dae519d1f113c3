// The cipher of password-encrypted .accdb files, from the page-encryption library when the build
// has it (src/engine/jet/crypto, target qv_jet_crypto). Database::Open uses it when the open
// options bring no PageCipherFactory of their own.
#pragma once

#include "engine/jet/page_cipher.h"

namespace qv::jet {

// The factory backed by the page-encryption library, or an empty function when the build does
// not include that library (then encrypted .accdb files are refused with 3033).
PageCipherFactory DefaultOfficeCipherFactory();

}  // namespace qv::jet
