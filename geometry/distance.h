#pragma once

#include <opencv2/core.hpp>

namespace plantscan::geometry {

// Euclidean distance, the coordinate differences formed in 32-bit integers first.
double getDistance(cv::Point a, cv::Point b);

}  // namespace plantscan::geometry
