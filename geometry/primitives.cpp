#include "geometry/primitives.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iostream>

int truncateToInt(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
    return static_cast<int>(value);
}

int wrappingDifference(int a, int b) {
    return static_cast<int>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

StraightLine::StraightLine(cv::Point a, cv::Point b) {
    if (a.x == b.x) {
        vertical = true;
        verticalX = a.x;
        return;
    }
    // Differences are formed in int first, as the measurements were calibrated that way.
    slope = static_cast<double>(wrappingDifference(a.y, b.y)) / wrappingDifference(a.x, b.x);
    intercept = a.y - slope * a.x;
}

double StraightLine::getAngle() const { return vertical ? VERTICAL_ANGLE : std::atan(slope); }

cv::Point StraightLine::getIntersection(const StraightLine& other) const {
    if (other.vertical && vertical) return NO_POINT;
    if (other.vertical) {
        return {other.verticalX, truncateToInt(other.verticalX * slope + intercept)};
    }
    if (vertical) {
        return {verticalX, truncateToInt(verticalX * other.slope + other.intercept)};
    }
    if (slope == other.slope) return NO_POINT;
    const double xi = (intercept - other.intercept) / (other.slope - slope);
    return {truncateToInt(xi), truncateToInt(slope * xi + intercept)};
}

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

void Segment::draw(cv::Mat image, int thickness, const cv::Scalar& colour) const {
    cv::line(image, p1, p2, colour, thickness, cv::LINE_8, 0);
}

cv::Mat Segment::drawOnEmptyImage(cv::Size size) const {
    cv::Mat image = cv::Mat::zeros(size, CV_8UC1);
    cv::line(image, p1, p2, cv::Scalar(255, 255, 255, 0), 1, cv::LINE_8, 0);
    return image;
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

double Circle::getDistanceToCircle(cv::Point q) const {
    const double dy = static_cast<double>(q.y) - center.y;
    const double dx = static_cast<double>(q.x) - center.x;
    return std::abs(std::sqrt(dy * dy + dx * dx) - radius);
}

void drawCircle(const Circle& circle, cv::Mat image) {
    cv::circle(image, circle.center, circle.radius, cv::Scalar(255, 255, 255, 0), 1, cv::LINE_8, 0);
}

void drawCross(cv::Mat image, cv::Point q, const cv::Scalar& colour) {
    Segment({q.x - 10, q.y - 10}, {q.x + 10, q.y + 10}).draw(image, 2, colour);
    Segment({q.x - 10, q.y + 10}, {q.x + 10, q.y - 10}).draw(image, 2, colour);
}

double getDistance(cv::Point a, cv::Point b) {
    return std::hypot(wrappingDifference(a.x, b.x), wrappingDifference(a.y, b.y));
}

StraightLine getPerpendicularBisector(cv::Point a, cv::Point b) {
    const Segment s(a, b);
    const Segment perpendicular(s.getMiddle(), s.getAngle() + VERTICAL_ANGLE, 1000);
    return StraightLine(perpendicular.p1, perpendicular.p2);
}

void printPoint(cv::Point q) {
    std::cout << "Point( x = " << q.x << ", y = " << q.y << ")" << std::endl;
}

void printCircle(const Circle& circle) {
    std::cout << "Radius : " << circle.radius << " Center : Point(x =" << circle.center.x
              << " , y =" << circle.center.y << ")" << std::endl;
}
