// Property lists as Access stores them in MSysObjects.LvProp (and in MSysAccessStorage streams):
//   "MR2\0" | blocks, each: u32 block length (its 6-byte head included) | u16 kind |
//     kind 0x80: the property names, each u16 byte length + UTF-16LE, in the order the values
//                refer to them (first use);
//     kind 0x00 (the object) or 0x01 (one column): u32 length of the name part (4 + 2 + name) |
//                u16 name byte length | name (UTF-16LE, empty for the object) | properties, each:
//                u16 length (8 + value) | u8 ddl flag | u8 value type | u16 name index |
//                u16 value length | value
// Text values are UTF-16LE without a terminator; Byte/Integer/Long little-endian. Checked against
// every LvProp of the empty Access 2000, 2007 and 2010 databases (docs/formats/jet-writing.md,
// "New databases").
#pragma once

#include "engine/core/bytes.h"
#include "engine/jet/write/database_description.h"

namespace qv::jet {

// Access 97 (Jet3) lists have the same blocks after the magic "KKD\0", with names and text values
// in the code page (Windows-1252) instead of UTF-16LE (checked against the LvProp of every catalog
// row of the Access 97 files of the corpus).
//
// Throws 3464 for a value that does not fit its type (in Jet3 also for text code page 1252 lacks).
Bytes EncodePropertySet(const PropertySetDescription& set, bool jet3 = false);

}  // namespace qv::jet
