#pragma once

#include <opencv2/core.hpp>

namespace geometry {

// Euclidean distance, the coordinate differences formed in 32-bit integers first.
double getDistance(cv::Point a, cv::Point b);

}  // namespace geometry
