#pragma once

#include "geometry/line.h"

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan::geometry {

// Two ordered ends: walking and drawing run from p1 to p2.
struct Segment {
    cv::Point p1;
    cv::Point p2;

    Segment() = default;
    Segment(cv::Point from, cv::Point to);
    // The segment of the given length centred on `middle`, ends truncated toward zero.
    Segment(cv::Point middle, double angle, double length);

    double getAngle() const;
    cv::Point getMiddle() const;
    double getLength() const;
    StraightLine getStraightLine() const;
    // The crossing of both lines when it lies in both bounding boxes, else NO_POINT.
    cv::Point getIntersection(const Segment& other) const;
    // The pixels cv::line draws for this segment, walking from p1 to p2; both ends lie in `size`.
    std::vector<cv::Point> getAllPointsOfSegment(cv::Size size) const;
};

}  // namespace plantscan::geometry
