#pragma once

#include <opencv2/core.hpp>

#include <ostream>

namespace plantscan::geometry {

// The literal kept for a straight angle, a hair above pi.
constexpr double STRAIGHT_ANGLE = 3.14159265359;

// Unsigned angle A-V-B at the vertex V, in radians. When an arm is null the angle is NaN,
// after an error line on `console`.
double angle3Points(cv::Point vertex, cv::Point a, cv::Point b, std::ostream& console);
// Divides by STRAIGHT_ANGLE, not pi: a right angle gives 89.99999999999407.
double radiansToDegrees(double radians);

}  // namespace plantscan::geometry
