#pragma once

#include "geometry/circle.h"

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan::geometry {

// Smallest circle holding every outline point: centre rounded, radius truncated.
Circle getCircumscribedCircle(const std::vector<cv::Point>& outline);
// Largest circle centred on a pixel inside the filled outline; `size` is the scan's size.
Circle getInscribedCircle(const std::vector<cv::Point>& outline, cv::Size size);

}  // namespace plantscan::geometry
