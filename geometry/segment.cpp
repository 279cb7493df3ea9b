#include "geometry/segment.h"

#include "geometry/distance.h"
#include "geometry/pixel_arithmetic.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace plantscan::geometry {

Segment::Segment(cv::Point from, cv::Point to) : p1(from), p2(to) {}

Segment::Segment(cv::Point middle, double angle, double length) {
    const double hx = std::cos(angle) * length * 0.5;
    const double hy = std::sin(angle) * length * 0.5;
    p1 = {truncateToInt(middle.x - hx), truncateToInt(middle.y - hy)};
    p2 = {truncateToInt(middle.x + hx), truncateToInt(middle.y + hy)};
}

double Segment::getAngle() const { return getStraightLine().getAngle(); }

cv::Point Segment::getMiddle() const { return {(p1.x + p2.x) / 2, (p1.y + p2.y) / 2}; }

double Segment::getLength() const { return getDistance(p1, p2); }

StraightLine Segment::getStraightLine() const { return StraightLine(p1, p2); }

cv::Point Segment::getIntersection(const Segment& other) const {
    const cv::Point p = getStraightLine().getIntersection(other.getStraightLine());
    if (p == NO_POINT) return NO_POINT;
    const auto within = [](int v, int a, int b) {
        return std::min(a, b) <= v && v <= std::max(a, b);
    };
    const bool inside = within(p.x, p1.x, p2.x) && within(p.x, other.p1.x, other.p2.x) &&
                        within(p.y, p1.y, p2.y) && within(p.y, other.p1.y, other.p2.y);
    return inside ? p : NO_POINT;
}

std::vector<cv::Point> Segment::getAllPointsOfSegment(cv::Size size) const {
    std::vector<cv::Point> points;
    if (p1.x == p2.x) {
        const int step = p1.y < p2.y ? 1 : -1;
        for (int y = p1.y;; y += step) {
            points.emplace_back(p1.x, y);
            if (y == p2.y) break;
        }
        return points;
    }
    // cv::line walks its pixels left to right; the walk from p1 is the same set, reversed
    // when p1 is the right end. Its pixels are monotone in x and y, so this is also the
    // column-by-column order, rows running from p1.y toward p2.y.
    cv::LineIterator it(cv::Rect(0, 0, size.width, size.height), p1, p2, 8, true);
    points.reserve(static_cast<size_t>(it.count));
    for (int i = 0; i < it.count; ++i, ++it) points.push_back(it.pos());
    if (p1.x > p2.x) std::reverse(points.begin(), points.end());
    return points;
}

}  // namespace plantscan::geometry
