// Plane geometry on pixel coordinates: x is the column, y the row, y grows downwards.
#pragma once

#include <opencv2/core.hpp>

namespace plantscan::geometry {

// Angle reported for a vertical line; a hair above pi/2 and used as written.
constexpr double VERTICAL_ANGLE = 1.570796326795;

// The answer of every intersection operation when there is no intersection point; a real
// intersection at (-1, -1) cannot be told from it.
const cv::Point NO_POINT(-1, -1);

// An infinite line through two pixels: vertical, or a slope and an intercept.
struct StraightLine {
    int verticalX = 0;
    double slope = 0.0;
    double intercept = 0.0;
    bool vertical = false;

    StraightLine() = default;
    StraightLine(cv::Point a, cv::Point b);

    double getAngle() const;
    cv::Point getIntersection(const StraightLine& other) const;
};

// Through the ends of a 1000-pixel segment turned from a-b by VERTICAL_ANGLE about the
// truncated middle of a and b; those ends are truncated too, so the bisector is only close.
StraightLine getPerpendicularBisector(cv::Point a, cv::Point b);

}  // namespace plantscan::geometry
