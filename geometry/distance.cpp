#include "geometry/distance.h"

#include "geometry/pixel_arithmetic.h"

#include <cmath>

namespace plantscan::geometry {

double getDistance(cv::Point a, cv::Point b) {
    return std::hypot(wrappingDifference(a.x, b.x), wrappingDifference(a.y, b.y));
}

}  // namespace plantscan::geometry
