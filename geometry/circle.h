#pragma once

#include <opencv2/core.hpp>

namespace plantscan::geometry {

// An integer radius in pixels about a pixel centre.
struct Circle {
    int radius = 0;
    cv::Point center;

    Circle() = default;
    Circle(int r, cv::Point c) : radius(r), center(c) {}

    int getRadius() const { return radius; }
    // How far q lies off the circle line, inside or outside alike.
    double getDistanceToCircle(cv::Point q) const;
};

}  // namespace plantscan::geometry
