// Whether long double arithmetic can stand in for exact decimal work at this moment.
#pragma once

namespace qv {

// Whether long double arithmetic runs here with its full 64-bit significand, rounding to nearest:
// the x87 precision and rounding controls may be set otherwise by other code, and emulators
// (valgrind) keep only 53 bits. Ask on every use (the control word may change at any time);
// without it, callers take their general way.
inline bool FullLongDouble() {
  volatile double seen = 1.0;  // not folded at compile time; a double loads quicker than a long double
  const long double one = seen;
  // 64 bits (1 + 2^-63 is kept), rounding to nearest (1 + 2^-64 and 1 - 2^-65 give 1); compared
  // with 1 only, which every emulation holds exactly.
  return one + 0x1p-63L != 1.0L && one + 0x1p-64L == 1.0L && one - 0x1p-65L == 1.0L;
}

}  // namespace qv
