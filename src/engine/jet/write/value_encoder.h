// Values to the bytes a row stores for a column (Jet4 and ACE). Each value may come typed
// (qv::Value of the matching kind) or as literal text, which is converted by the column's type:
// whole and decimal numbers with a point, dates as "yyyy-mm-dd hh:mm:ss", "yyyy-mm-dd" or
// "hh:mm:ss", booleans (true/false, yes/no, on/off, -1/1/0), GUIDs with or without braces, and
// binary as hexadecimal. A value that does not fit the column throws 3464 (it cannot be
// converted) or 3163 (too long), naming the column and the value. Layouts: docs/formats/
// jet-writing.md, "Values".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/text_codec.h"
#include "engine/core/value.h"
#include "engine/jet/header.h"
#include "engine/jet/table_definition.h"

namespace qv::jet {

struct EncodedValue {
  bool null = true;
  bool flag = false;  // Yes/No: the bit kept in the null mask
  Bytes bytes;        // the stored bytes; for memo/OLE the whole long value (not yet placed)
};

// `table` names the table in errors. `codec`, for Jet3 files, is the file's code page: text and
// memo values are stored in it, one byte per character where it is a single-byte code page; a
// character it lacks throws 3464 naming the column and the character. Without it text is Jet4's
// UTF-16 (compressed where the column allows).
EncodedValue EncodeValue(const ColumnDef& column, const qv::Value& value, const std::string& table,
                         const TextCodec* codec = nullptr);

// The code page Jet3 text of the file is written in; null for every later format (their text is
// UTF-16).
std::unique_ptr<TextCodec> Jet3TextCodec(const DatabaseHeader& header);

// Access date/time (days since 1899-12-30; before that day the fraction still counts forwards
// from midnight: 1899-12-29 06:00 is -1.25) of a civil timestamp.
double DateToDouble(const qv::Timestamp& t);

// Jet4 text: "compressed" (FF FE, then one byte per character) when every character is in
// U+0001..U+00FF and `compress` is set, UTF-16LE otherwise. `units` gets the UTF-16 length.
Bytes EncodeJet4Text(const std::string& utf8, bool compress, std::size_t& units, bool& valid);

// The 17 bytes of a Decimal (Numeric) column holding `text` at `scale`, or false when the value
// has more digits than `precision` allows or is not a number.
bool EncodeNumeric(const std::string& text, std::uint8_t precision, std::uint8_t scale, Bytes& out);

// The same conversions without the shortcuts taken for the common literal forms (plain whole
// and decimal numbers, ASCII text); they must give the same bytes, which the tests hold them to.
namespace general {
EncodedValue EncodeValue(const ColumnDef& column, const qv::Value& value, const std::string& table,
                         const TextCodec* codec = nullptr);
Bytes EncodeJet4Text(const std::string& utf8, bool compress, std::size_t& units, bool& valid);
}  // namespace general

}  // namespace qv::jet
