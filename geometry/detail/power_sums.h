// The power sums of the circle fit, each one pass over the points in order, every term from
// std::pow on doubles. Internal to the fit; the tests check them on worked values.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan::geometry::detail {

double sumPowX(const std::vector<cv::Point>& points, int k);
double sumPowY(const std::vector<cv::Point>& points, int k);
double sumPowXY(const std::vector<cv::Point>& points, int p, int q);

}  // namespace plantscan::geometry::detail
