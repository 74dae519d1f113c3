// The one locale-independent text form of values: what statements carry and what the engines
// parse back exactly. Numbers with a point, dates as yyyy-mm-dd hh:mm:ss (".mmm" when the
// milliseconds are not zero), binary as lower-case hexadecimal, GUIDs in braces.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/core/value.h"

namespace qv {

// Text of a value; NULL gives std::nullopt.
std::optional<std::string> FormatValueText(const Value& value);

std::string FormatDouble(double d);      // shortest text that reads back to the same double
std::string FormatCurrency(Currency c);  // "-12.5", "3", at most four decimals
std::string FormatTimestamp(const Timestamp& t);
std::string FormatGuid(const Guid& g);  // "{01234567-89AB-CDEF-0123-456789ABCDEF}"

// Parsers of the same forms; std::nullopt when the text is not in that form.
std::optional<std::int64_t> ParseInteger(std::string_view text);
std::optional<double> ParseDouble(std::string_view text);
std::optional<Currency> ParseCurrency(std::string_view text);
// Accepts "yyyy-mm-dd hh:mm:ss[.mmm]", "yyyy-mm-dd" and "hh:mm:ss[.mmm]" (the date 1899-12-30).
std::optional<Timestamp> ParseTimestamp(std::string_view text);
std::optional<Guid> ParseGuid(std::string_view text);     // with or without braces
std::optional<bool> ParseBoolean(std::string_view text);  // true/false, yes/no, on/off, -1/1/0

}  // namespace qv
