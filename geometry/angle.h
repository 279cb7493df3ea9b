#pragma once

#include <opencv2/core.hpp>

// The literal kept for a straight angle, a hair above pi.
constexpr double STRAIGHT_ANGLE = 3.14159265359;

// Unsigned angle A-V-B at the vertex V, in radians; NaN (after an error line) when an arm is null.
double angle3Points(cv::Point vertex, cv::Point a, cv::Point b);
double radiansToDegrees(double radians);
