// The slow reference for Segment::getAllPointsOfSegment: draw the segment on a zero image of
// the full size and scan its bounding box column by column from p1, rows from p1.y toward p2.y.
#pragma once

#include "geometry/segment.h"

#include <opencv2/imgproc.hpp>

#include <vector>

namespace geometry = plantscan::geometry;
using namespace plantscan::geometry;

// The segment drawn by cv::line in white on a new black image of `size`.
inline cv::Mat drawOnEmptyImage(const geometry::Segment& s, cv::Size size) {
    cv::Mat image = cv::Mat::zeros(size, CV_8UC1);
    cv::line(image, s.p1, s.p2, cv::Scalar(255, 255, 255, 0), 1, cv::LINE_8, 0);
    return image;
}

inline std::vector<cv::Point> pixelsByDrawing(const geometry::Segment& s, cv::Size size) {
    const cv::Mat image = drawOnEmptyImage(s, size);
    const int stepX = s.p1.x < s.p2.x ? 1 : -1;
    const int stepY = s.p1.y <= s.p2.y ? 1 : -1;
    std::vector<cv::Point> points;
    for (int x = s.p1.x;; x += stepX) {
        for (int y = s.p1.y;; y += stepY) {
            if (image.at<uchar>(y, x) == 255) points.emplace_back(x, y);
            if (y == s.p2.y) break;
        }
        if (x == s.p2.x) break;
    }
    return points;
}
