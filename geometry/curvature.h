#pragma once

#include "geometry/circle.h"

#include <opencv2/core.hpp>

#include <ostream>
#include <vector>

namespace plantscan::geometry {

Circle circleFrom3Points(cv::Point u, cv::Point v, cv::Point w);
// Least-squares circle through a run of at least three points, its centre truncated; falls back
// to the circle through the first, middle and last points when the fit is degenerate, its centre
// truncates to (-1, -1), or it deviates more than `threshold`. Writes its "D=" and "erreur : "
// lines on `console`.
Circle getCurvatureCircle(const std::vector<cv::Point>& points, double threshold,
                          std::ostream& console);

}  // namespace plantscan::geometry
