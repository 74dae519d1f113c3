// Index keys of the names a new database's system tables hold, in the two "General" orders Access
// uses for them, for the characters those names contain (letters, digits, underscore). Only a
// stand-in until the full collation is available: a character outside this set throws 3251.
//   Jet4 / ACE12 "General": 0x7f | one code per character, letters without regard to case |
//     0x01 0x00.  Underscore is the two bytes 2b 03.
//   ACE14+ "General" (sort version 1): 0x7f | two bytes per character | 0x01 0x00.
// The codes were read from the MSysObjects and MSysAccessStorage index leaves of Access's empty
// databases (docs/formats/jet-writing.md, "New databases").
#pragma once

#include <string>
#include <string_view>

#include "engine/core/bytes.h"
#include "engine/jet/write/table_definition_writer.h"

namespace qv::jet {

Bytes TextIndexKeyFallback(std::string_view utf8, const SortOrder& sort, const std::string& table);

}  // namespace qv::jet
