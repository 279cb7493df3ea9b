#include "geometry/curvature.h"

#include "geometry/detail/power_sums.h"
#include "geometry/line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace plantscan::geometry;

using Points = std::vector<cv::Point>;

struct Fit {
    Circle circle;
    std::string console;
};

Fit fit(const Points& points, double threshold) {
    std::ostringstream console;
    const Circle c = getCurvatureCircle(points, threshold, console);
    return {c, console.str()};
}

TEST(CurvatureCircle, EightPointsOnACircleFitExactly) {
    const Points points{{150, 100}, {130, 140}, {100, 150}, {70, 140},
                        {50, 100},  {70, 60},   {100, 50},  {130, 60}};
    const Fit f = fit(points, 10.0);
    EXPECT_EQ(f.console, "D=6.27456e+09\nerreur : 0\n");
    EXPECT_EQ(f.circle.radius, 50);
    EXPECT_EQ(f.circle.center, cv::Point(100, 100));
}

TEST(CurvatureCircle, ThreePointCircle) {
    const Circle c = circleFrom3Points({100, 50}, {150, 100}, {100, 150});
    EXPECT_EQ(c.radius, 50);
    EXPECT_EQ(c.center, cv::Point(100, 100));
}

TEST(CurvatureCircle, CollinearRunFallsBackToParallelBisectors) {
    const Points points{{1, 10}, {2, 10}, {3, 10}, {4, 10}, {5, 10}};
    const Fit f = fit(points, 10.0);
    // Both bisectors come out with slope -1000, so they never meet.
    EXPECT_EQ(f.circle.center, NO_POINT);
    EXPECT_EQ(f.circle.radius, 11);  // trunc(hypot(2, 11))
    EXPECT_EQ(f.console.rfind("D=0\nD=0\nerreur : ", 0), 0u) << f.console;
}

TEST(CurvatureCircle, CentreTruncatedToMinusOneIsTreatedAsNoCentre) {
    // Symmetric about (-1.5, -1.5), so the fit's centre is exactly there and truncates to (-1, -1).
    Points points;
    for (const auto& uv : {cv::Point2d(48.5, 12.5), cv::Point2d(12.5, 48.5)}) {
        for (int sx : {-1, 1}) {
            for (int sy : {-1, 1})
                points.emplace_back(int(-1.5 + sx * uv.x), int(-1.5 + sy * uv.y));
        }
    }
    const Fit f = fit(points, 1000.0);
    const size_t n = points.size();
    const Circle expected = circleFrom3Points(points[0], points[n / 2], points[n - 1]);
    EXPECT_EQ(f.circle.center, expected.center);
    EXPECT_EQ(f.circle.radius, expected.radius);
    EXPECT_EQ(f.console.find("D=0"), std::string::npos);
    EXPECT_EQ(std::count(f.console.begin(), f.console.end(), '\n'), 2);
}

TEST(CurvatureCircle, ThresholdIsStrict) {
    // Four points 50 and four 56 from (100, 100): radius 53, mean deviation exactly 3.
    const Points points{{150, 100}, {100, 150}, {50, 100}, {100, 50},
                        {156, 100}, {100, 156}, {44, 100}, {100, 44}};
    const Fit kept = fit(points, 3.0);
    EXPECT_EQ(kept.circle.radius, 53);
    EXPECT_EQ(kept.circle.center, cv::Point(100, 100));
    EXPECT_NE(kept.console.find("erreur : 3\n"), std::string::npos) << kept.console;

    const Fit replaced = fit(points, 2.999);
    const Circle expected = circleFrom3Points(points[0], points[4], points[7]);
    EXPECT_EQ(replaced.circle.center, expected.center);
    EXPECT_EQ(replaced.circle.radius, expected.radius);
    EXPECT_NE(replaced.circle.center, cv::Point(100, 100));
}

TEST(CurvatureCircle, PowerSums) {
    const Points points{{1, 2}, {3, -4}};
    EXPECT_EQ(detail::sumPowX(points, 3), 28.0);
    EXPECT_EQ(detail::sumPowY(points, 2), 20.0);
    EXPECT_EQ(detail::sumPowXY(points, 2, 1), 2.0 - 36.0);
}

}  // namespace
