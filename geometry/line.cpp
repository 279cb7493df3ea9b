#include "geometry/line.h"

#include "geometry/pixel_arithmetic.h"
#include "geometry/segment.h"

#include <cmath>

namespace plantscan::geometry {

StraightLine::StraightLine(cv::Point a, cv::Point b) {
    if (a.x == b.x) {
        vertical = true;
        verticalX = a.x;
        return;
    }
    // Differences are formed in int first, as the measurements were calibrated that way.
    slope = static_cast<double>(wrappingDifference(a.y, b.y)) / wrappingDifference(a.x, b.x);
    intercept = a.y - slope * a.x;
}

double StraightLine::getAngle() const { return vertical ? VERTICAL_ANGLE : std::atan(slope); }

cv::Point StraightLine::getIntersection(const StraightLine& other) const {
    if (other.vertical && vertical) return NO_POINT;
    if (other.vertical) {
        return {other.verticalX, truncateToInt(other.verticalX * slope + intercept)};
    }
    if (vertical) {
        return {verticalX, truncateToInt(verticalX * other.slope + other.intercept)};
    }
    if (slope == other.slope) return NO_POINT;
    const double xi = (intercept - other.intercept) / (other.slope - slope);
    return {truncateToInt(xi), truncateToInt(slope * xi + intercept)};
}

StraightLine getPerpendicularBisector(cv::Point a, cv::Point b) {
    const Segment s(a, b);
    const Segment perpendicular(s.getMiddle(), s.getAngle() + VERTICAL_ANGLE, 1000);
    return StraightLine(perpendicular.p1, perpendicular.p2);
}

}  // namespace plantscan::geometry
