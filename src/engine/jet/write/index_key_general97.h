// Text index keys of Access 97 (Jet3) files, used by the key maker only (index_key.cpp).
// Facts and their checks: docs/formats/jet-writing.md, "Access 97 text keys".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/bytes.h"

namespace qv::jet::collation {

// Appends the codes of `utf8` in the Access 97 "General" order and the end of the text (after
// the caller's start byte), every byte inverted when `ascending` is false. `codePage` is the
// code page the database stores text in: with 1252 (or 0, a header naming none, whose text the
// engine reads and writes as 1252) every character of that code page has a key; with any other
// only ASCII characters do. Throws 3251 naming the character (and `where`) for a
// character without a key, and for text that is not UTF-8.
void AppendGeneral97Text(Bytes& out, std::string_view utf8, std::uint16_t codePage, bool ascending,
                         const std::string& where);

}  // namespace qv::jet::collation
