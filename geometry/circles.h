#pragma once

#include "geometry/primitives.h"

#include <vector>

Circle getCircumscribedCircle(const std::vector<cv::Point>& outline);
// Largest circle centred on a pixel inside the filled outline; `size` is the scan's size.
Circle getInscribedCircle(const std::vector<cv::Point>& outline, cv::Size size);
