// Plane geometry on pixel coordinates: x is the column, y the row, y grows downwards.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

// Angle reported for a vertical line; a hair above pi/2 and used as written.
constexpr double VERTICAL_ANGLE = 1.570796326795;

// Double to int truncated toward zero as x86 converts: NaN and out-of-range values give INT_MIN
// (a plain cast would be undefined there, and degenerate fits do produce such values).
int truncateToInt(double value);
// a - b in 32-bit two's complement, as the pixel arithmetic wraps on x86.
int wrappingDifference(int a, int b);

// The answer of every intersection operation when there is no intersection point.
const cv::Point NO_POINT(-1, -1);

struct StraightLine {
    int verticalX = 0;
    double slope = 0.0;
    double intercept = 0.0;
    bool vertical = false;

    StraightLine() = default;
    StraightLine(cv::Point a, cv::Point b);

    double getAngle() const;
    cv::Point getIntersection(const StraightLine& other) const;
};

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
    cv::Point getIntersection(const Segment& other) const;
    void draw(cv::Mat image, int thickness, const cv::Scalar& colour) const;
    cv::Mat drawOnEmptyImage(cv::Size size) const;
    // The pixels cv::line draws for this segment, walking from p1 to p2; both ends lie in `size`.
    std::vector<cv::Point> getAllPointsOfSegment(cv::Size size) const;
};

struct Circle {
    int radius = 0;
    cv::Point center;

    Circle() = default;
    Circle(int r, cv::Point c) : radius(r), center(c) {}

    int getRadius() const { return radius; }
    double getDistanceToCircle(cv::Point q) const;
};

void drawCircle(const Circle& circle, cv::Mat image);
void drawCross(cv::Mat image, cv::Point q, const cv::Scalar& colour);
double getDistance(cv::Point a, cv::Point b);
StraightLine getPerpendicularBisector(cv::Point a, cv::Point b);
void printPoint(cv::Point q);
void printCircle(const Circle& circle);
