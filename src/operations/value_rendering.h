// How a field value becomes text inside an INSERT statement of the transfer into Access.
//
// Values take the engines' one locale-independent text form (engine/core/value_text.h): numbers
// with a point, dates as yyyy-mm-dd hh:mm:ss, binary as hexadecimal, so nothing depends on the
// user's regional settings and the Access engine reads every value back exactly. NULL and the
// empty text both become the bare word NULL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/core/value.h"

namespace qv::ops {

// The replacement when `value` is NULL, the value itself otherwise.
const Value& ReplaceNull(const Value& value, const Value& replacement);

// The text of a value as the statement carries it (before apostrophes are doubled); std::nullopt
// when the value is to be written as NULL (NULL or an empty text).
std::optional<std::string> RenderValue(const Value& value);

// The same text appended to `out` with every apostrophe doubled, without a text of its own in
// between (the row loop of the transfer renders ten million values); false, with `out`
// unchanged, when the value is to be written as NULL.
// `after` (the statement's text that follows a value) is appended with the value's text; neither
// is appended for a value written as NULL.
bool AppendRenderedValue(const Value& value, std::string& out, std::string_view after = {});

}  // namespace qv::ops
