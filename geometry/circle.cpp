#include "geometry/circle.h"

#include <cmath>

namespace plantscan::geometry {

double Circle::getDistanceToCircle(cv::Point q) const {
    const double dy = static_cast<double>(q.y) - center.y;
    const double dx = static_cast<double>(q.x) - center.x;
    return std::abs(std::sqrt(dy * dy + dx * dx) - radius);
}

}  // namespace plantscan::geometry
