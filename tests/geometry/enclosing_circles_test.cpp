#include "geometry/enclosing_circles.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <random>
#include <vector>

namespace {

using namespace plantscan::geometry;

using Points = std::vector<cv::Point>;

// The whole-scan method the bounding-box one must agree with.
Circle inscribedOnWholeScan(const Points& outline, cv::Size size) {
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    cv::fillPoly(mask, std::vector<Points>{outline}, cv::Scalar(255, 0, 0, 0), cv::LINE_8, 0,
                 cv::Point(0, 0));
    cv::Mat distances;
    cv::distanceTransform(mask, distances, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    double maximum = 0;
    cv::Point location;
    cv::minMaxLoc(distances, nullptr, &maximum, nullptr, &location);
    return Circle(static_cast<int>(maximum), location);
}

// A closed star-like outline, traced densely as the outline extraction gives it.
Points randomOutline(std::mt19937& rng, cv::Size size) {
    std::uniform_real_distribution<double> unit(0, 1);
    const double radius = 15 + unit(rng) * std::min(size.width, size.height) * 0.45;
    const cv::Point2d c(radius + unit(rng) * (size.width - 2 * radius),
                        radius + unit(rng) * (size.height - 2 * radius));
    const int lobes = 3 + static_cast<int>(unit(rng) * 5);
    const double depth = unit(rng) * 0.5;
    Points outline;
    const int steps = 400;
    for (int i = 0; i < steps; ++i) {
        const double t = 2 * CV_PI * i / steps;
        const double r = radius * (1 - depth * 0.5 * (1 + std::cos(lobes * t)));
        cv::Point p(static_cast<int>(c.x + r * std::cos(t)),
                    static_cast<int>(c.y + r * std::sin(t)));
        p.x = std::min(std::max(p.x, 0), size.width - 1);
        p.y = std::min(std::max(p.y, 0), size.height - 1);
        if (outline.empty() || outline.back() != p) outline.push_back(p);
    }
    return outline;
}

TEST(CircumscribedCircle, RadiusTruncatedCentreRounded) {
    const Circle square = getCircumscribedCircle({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    EXPECT_EQ(square.center, cv::Point(5, 5));
    EXPECT_EQ(square.radius, 7);
    // Float centres of 4.5 and 5.5 go to the even neighbour.
    EXPECT_EQ(getCircumscribedCircle({{0, 0}, {9, 0}}).center, cv::Point(4, 0));
    EXPECT_EQ(getCircumscribedCircle({{0, 0}, {11, 0}}).center, cv::Point(6, 0));
}

TEST(InscribedCircle, SquareAndFirstMaximumInRowOrder) {
    const Circle square =
        getInscribedCircle({{10, 10}, {110, 10}, {110, 110}, {10, 110}}, {200, 200});
    EXPECT_EQ(square.center, cv::Point(60, 60));
    EXPECT_EQ(square.radius, 51);
    // A 201 x 41 rectangle: every column of its middle row is a maximum; the leftmost wins.
    const Circle wide = getInscribedCircle({{20, 30}, {220, 30}, {220, 70}, {20, 70}}, {300, 100});
    EXPECT_EQ(wide.radius, 21);
    EXPECT_EQ(wide.center, cv::Point(40, 50));
}

TEST(InscribedCircle, RightPastColumn4096) {
    const Circle far =
        getInscribedCircle({{5000, 10}, {5100, 10}, {5100, 110}, {5000, 110}}, {6000, 200});
    EXPECT_EQ(far.center, cv::Point(5050, 60));
    EXPECT_EQ(far.radius, 51);
}

TEST(InscribedCircle, SameAsWholeScanOnRandomOutlines) {
    std::mt19937 rng(42);
    const cv::Size sizes[] = {{120, 90}, {400, 300}, {1000, 1000}};
    for (const cv::Size size : sizes) {
        for (int i = 0; i < 60; ++i) {
            const Points outline = randomOutline(rng, size);
            const Circle fast = getInscribedCircle(outline, size);
            const Circle slow = inscribedOnWholeScan(outline, size);
            ASSERT_EQ(fast.center, slow.center) << "case " << i << " in " << size;
            ASSERT_EQ(fast.radius, slow.radius) << "case " << i << " in " << size;
        }
    }
}

}  // namespace
