// The console lines of a point and of a circle.
#pragma once

#include "geometry/circle.h"

#include <opencv2/core.hpp>

#include <ostream>

namespace plantscan::geometry {

void printPoint(cv::Point q, std::ostream& console);
void printCircle(const Circle& circle, std::ostream& console);

}  // namespace plantscan::geometry
