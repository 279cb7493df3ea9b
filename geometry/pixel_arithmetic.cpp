#include "geometry/pixel_arithmetic.h"

#include <climits>
#include <cstdint>

namespace plantscan::geometry {

int truncateToInt(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
    return static_cast<int>(value);
}

int wrappingDifference(int a, int b) {
    return static_cast<int>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace plantscan::geometry
