#pragma once

#include "geometry/primitives.h"

#include <vector>

double sumPowX(const std::vector<cv::Point>& points, int k);
double sumPowY(const std::vector<cv::Point>& points, int k);
double sumPowXY(const std::vector<cv::Point>& points, int p, int q);

Circle circleFrom3Points(cv::Point u, cv::Point v, cv::Point w);
// Least-squares circle through a run of at least three points; falls back to the circle
// through the first, middle and last points when the fit is degenerate or worse than `threshold`.
Circle getCurvatureCircle(const std::vector<cv::Point>& points, double threshold);
