#include "geometry/enclosing_circles.h"
#include "geometry/smallest_circle.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
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

// The outline as the outline extraction traces it: every boundary pixel, in order.
Points tracedOutline(std::mt19937& rng, cv::Size size) {
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    cv::fillPoly(mask, std::vector<Points>{randomOutline(rng, size)}, cv::Scalar(255, 0, 0, 0),
                 cv::LINE_8, 0, cv::Point(0, 0));
    std::vector<Points> contours;
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    return contours.empty() ? Points{} : contours.front();
}

void expectSameAsOpenCv(const Points& points, const std::string& what) {
    cv::Point2f centre;
    float radius = 0;
    cv::minEnclosingCircle(points, centre, radius);
    const FloatCircle ours = smallestEnclosingCircle(points);
    // Equal floats, not near ones: the centre is rounded and the radius truncated afterwards.
    ASSERT_EQ(ours.center.x, centre.x) << what;
    ASSERT_EQ(ours.center.y, centre.y) << what;
    ASSERT_EQ(ours.radius, radius) << what;
}

TEST(SmallestEnclosingCircle, SameFloatsAsOpenCv) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coordinate(0, 40);
    // Few points, many of them repeated, in a line or on a small grid: the degenerate cases.
    for (int count = 1; count <= 40; ++count) {
        for (int i = 0; i < 25; ++i) {
            Points points;
            const bool inLine = i % 5 == 0;
            for (int k = 0; k < count; ++k) {
                const int x = coordinate(rng);
                points.emplace_back(x, inLine ? 2 * x + 3 : coordinate(rng) / 4);
            }
            expectSameAsOpenCv(points, "small set " + std::to_string(i) + " of " +
                                           std::to_string(count) + " points");
        }
    }
    // Long lines: three points in a line take a branch of their own.
    for (int i = 0; i < 300; ++i) {
        const cv::Point step(1 + static_cast<int>(rng() % 7), static_cast<int>(rng() % 5));
        Points points;
        for (int k = 0; k < 3 + i % 30; ++k) points.push_back(step * static_cast<int>(rng() % 900));
        expectSameAsOpenCv(points, "line " + std::to_string(i));
    }
    // Outlines traced pixel by pixel, starting anywhere, in both directions: an ordered
    // outline is where most points lie inside the circle at hand.
    const cv::Size sizes[] = {{200, 150}, {700, 700}, {1400, 1100}};
    for (const cv::Size size : sizes) {
        for (int i = 0; i < 12; ++i) {
            Points outline = tracedOutline(rng, size);
            if (outline.empty()) continue;
            std::rotate(outline.begin(), outline.begin() + rng() % outline.size(), outline.end());
            if (i % 2) std::reverse(outline.begin(), outline.end());
            expectSameAsOpenCv(outline, "outline " + std::to_string(i) + " in " +
                                            std::to_string(size.width) + " x " +
                                            std::to_string(size.height));
        }
    }
    // Scattered points, and points on a circle, where many lie on the circle found.
    for (int i = 0; i < 20; ++i) {
        Points scattered, round;
        const double r = 50 + 400 * std::uniform_real_distribution<double>(0, 1)(rng);
        for (int k = 0; k < 1500; ++k) {
            scattered.emplace_back(static_cast<int>(rng() % 3000), static_cast<int>(rng() % 900));
            const double t = 2 * CV_PI * (rng() % 100000) / 100000;
            round.emplace_back(cvRound(500 + r * std::cos(t)), cvRound(500 + r * std::sin(t)));
        }
        expectSameAsOpenCv(scattered, "scattered set " + std::to_string(i));
        expectSameAsOpenCv(round, "round set " + std::to_string(i));
    }
    // Every lattice point of circles with many of them, in random orders: points exactly on
    // the circle at hand, where the float and double tests can part.
    for (const int r : {25, 65, 325, 1105, 5525}) {
        Points exact;
        for (int x = -r; x <= r; ++x) {
            const int y = static_cast<int>(std::lround(std::sqrt(double(r) * r - double(x) * x)));
            if (x * x + y * y != r * r) continue;
            exact.emplace_back(6000 + x, 6000 + y);
            exact.emplace_back(6000 + x, 6000 - y);
        }
        for (int i = 0; i < 8; ++i) {
            std::shuffle(exact.begin(), exact.end(), rng);
            expectSameAsOpenCv(exact, "lattice circle of radius " + std::to_string(r));
        }
    }
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
