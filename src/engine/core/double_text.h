// Fast shortest round-trip text of doubles: the same characters as std::to_chars(first, last, d)
// (fixed or scientific notation, whichever is shorter, fixed on a tie), several times cheaper for
// the doubles business data mostly holds: those of a few decimals between 1e-8 and 1e15 (prices,
// quantities, measures). Used by the Access reader's text form of rows and by the statement text
// of the transfer into Access.
#pragma once

#include <string>

namespace qv {

// Room WriteShortestDouble needs at `first`.
inline constexpr int kShortestDoubleChars = 32;

// Writes the shortest text that reads back to the finite double `d` (exactly std::to_chars'
// text) at `first` and returns its end. `first` must have room for kShortestDoubleChars.
char* WriteShortestDouble(char* first, double d);

// Appends qv::FormatDouble(d) to `out` (NaN and the infinities included).
void AppendDoubleText(std::string& out, double d);

}  // namespace qv
