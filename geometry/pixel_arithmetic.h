// Integer pixel arithmetic done as the measurements were calibrated: on x86's terms.
#pragma once

namespace plantscan::geometry {

// Double to int truncated toward zero as x86 converts: NaN and out-of-range values give INT_MIN
// (a plain cast would be undefined there, and degenerate fits do produce such values).
int truncateToInt(double value);
// a - b in 32-bit two's complement, as the pixel arithmetic wraps on x86.
int wrappingDifference(int a, int b);

}  // namespace plantscan::geometry
