#include "geometry/angle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>

namespace {

using namespace plantscan::geometry;

// The angle alone, its console lines dropped.
double angle(cv::Point v, cv::Point a, cv::Point b) {
    std::ostringstream console;
    return angle3Points(v, a, b, console);
}

double degrees(cv::Point v, cv::Point a, cv::Point b) { return radiansToDegrees(angle(v, a, b)); }

TEST(Angle3Points, RightAngleIsNotQuiteNinetyDegrees) {
    const double r = angle({0, 0}, {10, 0}, {0, 10});
    EXPECT_DOUBLE_EQ(r, CV_PI / 2);
    // The divisor is the literal 3.14159265359, not pi.
    EXPECT_NEAR(radiansToDegrees(r), 89.99999999999407, 1e-13);
    EXPECT_NE(radiansToDegrees(r), 90.0);
}

TEST(Angle3Points, OppositeArmsGiveExactPi) {
    const double r = angle({0, 0}, {-10, 0}, {10, 0});
    EXPECT_EQ(r, CV_PI);
    EXPECT_NEAR(radiansToDegrees(r), 179.99999999998815, 1e-12);
}

TEST(Angle3Points, CosineRoundedPastMinusOneGivesTheStraightAngleLiteralNotPi) {
    // sqrt(18) * sqrt(18) rounds below 18, so the cosine comes out below -1.
    EXPECT_EQ(angle({0, 0}, {-3, -3}, {3, 3}), STRAIGHT_ANGLE);
    EXPECT_NE(STRAIGHT_ANGLE, CV_PI);
}

TEST(Angle3Points, CosineRoundedPastOneGivesZeroWithoutError) {
    std::ostringstream console;
    EXPECT_EQ(angle3Points({0, 0}, {1, 6}, {3, 18}, console), 0.0);
    EXPECT_EQ(console.str(), "");
}

TEST(Angle3Points, SymmetricInItsArms) {
    EXPECT_EQ(angle({3, 4}, {17, -2}, {-5, 9}), angle({3, 4}, {-5, 9}, {17, -2}));
    EXPECT_NEAR(degrees({0, 0}, {10, 0}, {10, 10}), 45.0, 1e-9);
}

TEST(Angle3Points, NullArmWritesTheErrorLineAndGivesNaN) {
    std::ostringstream console;
    const double r = angle3Points({0, 0}, {0, 0}, {3, 4}, console);
    const std::string out = console.str();
    EXPECT_TRUE(std::isnan(r));
    EXPECT_FALSE(degrees({1, 1}, {1, 1}, {5, 1}) < 35);  // a NaN never refuses
    const std::regex line(
        R"(erreur angle 3 points ! center : \[0, 0\] A : \[0, 0\] B : \[3, 4\] temp : -?nan)"
        R"(X1X3\*X1X3\+Y1Y3\*Y1Y30X2X3\*X2X3\+Y2Y3\*Y2Y325)"
        R"(\(sqrt\(X1X3\*X1X3\+Y1Y3\*Y1Y3\)\*sqrt\(X2X3\*X2X3\+Y2Y3\*Y2Y3\)\)0\n)");
    EXPECT_TRUE(std::regex_match(out, line)) << out;
}

}  // namespace
