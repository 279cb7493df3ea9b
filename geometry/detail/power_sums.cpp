#include "geometry/detail/power_sums.h"

#include <cmath>

namespace plantscan::geometry::detail {

double sumPowX(const std::vector<cv::Point>& points, int k) {
    double sum = 0.0;
    for (const cv::Point& p : points)
        sum += std::pow(static_cast<double>(p.x), static_cast<double>(k));
    return sum;
}

double sumPowY(const std::vector<cv::Point>& points, int k) {
    double sum = 0.0;
    for (const cv::Point& p : points)
        sum += std::pow(static_cast<double>(p.y), static_cast<double>(k));
    return sum;
}

double sumPowXY(const std::vector<cv::Point>& points, int p, int q) {
    double sum = 0.0;
    for (const cv::Point& pt : points) {
        sum += std::pow(static_cast<double>(pt.x), static_cast<double>(p)) *
               std::pow(static_cast<double>(pt.y), static_cast<double>(q));
    }
    return sum;
}

}  // namespace plantscan::geometry::detail
