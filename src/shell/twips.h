// Positions of the pages are given in twips: 1/1440 inch, so 15 twips are one pixel at 96 dpi.
#pragma once

#include <cmath>

namespace qv::shell {

inline constexpr int kTwipsPerInch = 1440;

// Rounds to the nearest pixel at the given logical dpi.
inline int TwipsToPixels(int twips, double dpi = 96.0) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

}  // namespace qv::shell
