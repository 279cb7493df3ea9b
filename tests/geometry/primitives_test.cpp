#include "geometry/circle.h"
#include "geometry/line.h"
#include "geometry/pixel_arithmetic.h"
#include "geometry/segment.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

using namespace plantscan::geometry;

TEST(StraightLine, VerticalWhenBothPointsShareTheirX) {
    const StraightLine line({3, 5}, {3, 9});
    EXPECT_TRUE(line.vertical);
    EXPECT_EQ(line.verticalX, 3);
    EXPECT_EQ(line.getAngle(), 1.570796326795);
    EXPECT_TRUE(StraightLine({5, 5}, {5, 5}).vertical);
}

TEST(StraightLine, SlopeAndInterceptFromTwoPoints) {
    const StraightLine line({0, 1}, {10, 21});
    EXPECT_FALSE(line.vertical);
    EXPECT_EQ(line.slope, 2.0);
    EXPECT_EQ(line.intercept, 1.0);
    EXPECT_DOUBLE_EQ(StraightLine({0, 0}, {1, 1}).getAngle(), CV_PI / 4);
}

TEST(StraightLine, ParallelOrVerticalPairsHaveNoIntersection) {
    EXPECT_EQ(StraightLine({1, 0}, {1, 5}).getIntersection(StraightLine({4, 0}, {4, 5})), NO_POINT);
    // Even a line with itself: equal slopes never meet.
    const StraightLine l({0, 0}, {4, 2});
    EXPECT_EQ(l.getIntersection(l), NO_POINT);
    EXPECT_EQ(StraightLine({3, 3}, {3, 8}).getIntersection(StraightLine({3, 0}, {3, 1})), NO_POINT);
    // A real crossing at (-1, -1) reads as no crossing.
    EXPECT_EQ(Segment({-3, -1}, {1, -1}).getIntersection(Segment({-1, -3}, {-1, 1})), NO_POINT);
}

TEST(StraightLine, VerticalMeetsSlopedWhicheverAsks) {
    const StraightLine vertical({4, 0}, {4, 9});
    const StraightLine sloped({0, 1}, {10, 21});
    EXPECT_EQ(vertical.getIntersection(sloped), cv::Point(4, 9));
    EXPECT_EQ(sloped.getIntersection(vertical), cv::Point(4, 9));
}

TEST(Segment, IntersectionOnlyInsideBothBoundingBoxes) {
    const Segment a({0, 0}, {10, 10});
    const Segment b({0, 10}, {10, 0});
    EXPECT_EQ(a.getStraightLine().getIntersection(b.getStraightLine()), cv::Point(5, 5));
    EXPECT_EQ(a.getIntersection(b), cv::Point(5, 5));
    EXPECT_EQ(Segment({0, 0}, {2, 2}).getIntersection(b), NO_POINT);
    EXPECT_EQ(b.getIntersection(Segment({0, 0}, {2, 2})), NO_POINT);
}

TEST(Segment, MiddleTruncatesTowardZero) {
    EXPECT_EQ(Segment({-3, 0}, {0, 0}).getMiddle(), cv::Point(-1, 0));
    EXPECT_EQ(Segment({3, 7}, {0, 0}).getMiddle(), cv::Point(1, 3));
}

TEST(Segment, AroundAPointTruncatesItsEnds) {
    // cos of the vertical literal is about -1.03e-13: 25 - tiny and 25 + tiny truncate apart.
    const Segment s({25, 0}, VERTICAL_ANGLE, 1000);
    EXPECT_EQ(s.p1, cv::Point(25, -500));
    EXPECT_EQ(s.p2, cv::Point(24, 500));
    const Segment flat({10, 10}, 0.0, 7);
    EXPECT_EQ(flat.p1, cv::Point(6, 10));
    EXPECT_EQ(flat.p2, cv::Point(13, 10));
}

TEST(Segment, AngleAndLengthIgnoreDirection) {
    const Segment s({2, 3}, {7, 15});
    const Segment r({7, 15}, {2, 3});
    EXPECT_EQ(s.getAngle(), r.getAngle());
    EXPECT_EQ(s.getLength(), 13.0);
    EXPECT_EQ(Segment({4, 4}, {4, 4}).getAngle(), VERTICAL_ANGLE);
    EXPECT_EQ(Segment({4, 4}, {4, 4}).getLength(), 0.0);
}

TEST(PerpendicularBisector, BuiltFromTruncatedPointsSoNotVertical) {
    const StraightLine b = getPerpendicularBisector({0, 0}, {50, 0});
    EXPECT_FALSE(b.vertical);
    EXPECT_EQ(b.slope, -1000.0);
    EXPECT_EQ(b.intercept, 24500.0);  // through (25, -500) and (24, 500)
}

TEST(Circle, DistanceToCircleIsUnsigned) {
    const Circle c(10, {0, 0});
    EXPECT_EQ(c.getDistanceToCircle({5, 0}), 5.0);
    EXPECT_EQ(c.getDistanceToCircle({0, -15}), 5.0);
    EXPECT_EQ(c.getRadius(), 10);
}

TEST(Conversions, TruncationNeverUndefined) {
    EXPECT_EQ(truncateToInt(-2.7), -2);
    EXPECT_EQ(truncateToInt(2.7), 2);
    EXPECT_EQ(truncateToInt(std::numeric_limits<double>::quiet_NaN()), INT_MIN);
    EXPECT_EQ(truncateToInt(1e20), INT_MIN);
    EXPECT_EQ(truncateToInt(-1e20), INT_MIN);
    EXPECT_EQ(truncateToInt(2147483647.9), INT_MAX);
    EXPECT_EQ(wrappingDifference(INT_MIN, 1), INT_MAX);
}

}  // namespace
