// Drawing into the caller's image: every function draws into the pixels `image` shares.
#pragma once

#include "geometry/circle.h"
#include "geometry/segment.h"

#include <opencv2/core.hpp>

namespace plantscan::geometry {

void draw(const Segment& segment, cv::Mat image, int thickness, const cv::Scalar& colour);
// White, one pixel thick.
void drawCircle(const Circle& circle, cv::Mat image);
// Two diagonals of thickness 2 reaching 10 pixels from q along x and y.
void drawCross(cv::Mat image, cv::Point q, const cv::Scalar& colour);

}  // namespace plantscan::geometry
