#include "section_measure/corners_hollows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

namespace geometry = plantscan::geometry;
using namespace plantscan::section;

namespace {

using Points = std::vector<cv::Point>;

// n points evenly spread around (500, 500), point i at the distance radius(i).
template <typename Radius>
Points roundOutline(int n, Radius radius) {
    Points outline;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * CV_PI * i / n;
        outline.emplace_back(static_cast<int>(500 + radius(i) * std::cos(t)),
                             static_cast<int>(500 + radius(i) * std::sin(t)));
    }
    return outline;
}

}  // namespace

TEST(GetCentroid, TruncatesTheMean) {
    EXPECT_EQ(getCentroid({{0, 0}, {1, 0}, {1, 1}}), cv::Point(0, 0));
    EXPECT_EQ(getCentroid({{10, 11}, {13, 14}}), cv::Point(11, 12));
}

TEST(FindCornerIndices, TakesTheFarthestPointsAtLeast35DegreesApartInTheOrderFound) {
    // Spikes of decreasing length at 10, 80, 150, 220 and 290 degrees; a longer spike at
    // 30 degrees sits too close to the first one and must be passed over.
    const Points outline = roundOutline(360, [](int i) {
        switch (i) {
            case 10: return 300.0;
            case 30: return 290.0;
            case 220: return 280.0;
            case 80: return 270.0;
            case 290: return 260.0;
            case 150: return 250.0;
            default: return 200.0;
        }
    });
    std::ostringstream console;
    const std::vector<int> corners = findCornerIndices(outline, {500, 500}, console);
    EXPECT_EQ(corners, (std::vector<int>{10, 220, 80, 290, 150}));
    // One line per pass after the first, each with the angle of the last point (at 359 degrees)
    // to the first corner (at 10 degrees), about 11 degrees once the points are truncated.
    std::istringstream lines(console.str());
    std::string word;
    double angle = 0;
    int count = 0;
    while (lines >> word >> angle) {
        ++count;
        EXPECT_EQ(word, "delta");
        EXPECT_NEAR(angle, 11.0, 0.5);
    }
    EXPECT_EQ(count, 4);
}

TEST(FindCornerIndices, EqualDistancesTakeTheLowerIndex) {
    Points outline = roundOutline(360, [](int) { return 200.0; });
    outline[100] = {800, 500};
    outline[40] = {500, 800};
    std::ostringstream console;
    EXPECT_EQ(findCornerIndices(outline, {500, 500}, console).front(), 40);
}

TEST(FindCornerIndices, APassWithoutAnAdmittedPointEndsTheRun) {
    // Every point lies within a few degrees of the first corner, as seen from the centroid.
    Points outline;
    for (int i = 0; i < 60; ++i) outline.emplace_back(400 + i, 300 + i % 2);
    std::ostringstream console;
    EXPECT_THROW(findCornerIndices(outline, {100, 300}, console), SectionError);
}

TEST(FindHollowIndices, SearchesTheShorterArcBetweenSortedCorners) {
    // n = 1000, corners 50, 250, 450, 650, 850 in the order found 450, 50, 850, 250, 650.
    // Hollow 0 runs 850..999 then 0..49: of the equal dips at 990 and 10, 990 comes first.
    const auto radius = [](int i) {
        switch (i) {
            case 150: return 110.0;
            case 251: return 120.0;
            case 649: return 130.0;
            case 700: return 140.0;
            case 30: return 150.0;
            default: return 200.0;
        }
    };
    Points outline = roundOutline(1000, radius);
    outline[990] = {500, 400};
    outline[10] = {400, 500};
    EXPECT_EQ(findHollowIndices(outline, {500, 500}, {450, 50, 850, 250, 650}),
              (std::vector<int>{990, 150, 251, 649, 700}));
}

TEST(FindHollowIndices, ACandidateAsFarAsTwoPixelsCanBeIsStillTaken) {
    // About 3.04e9 pixels from the centroid, the farthest any two points can be: still nearer
    // than the starting distance of the search.
    Points outline;
    for (int i = 0; i < 10; ++i) outline.emplace_back(1073741813 + i, 1073741823);
    const std::vector<int> hollows =
        findHollowIndices(outline, {-1073741824, -1073741824}, {0, 2, 4, 6, 8});
    EXPECT_EQ(hollows, (std::vector<int>{8, 0, 2, 4, 6}));
}

TEST(MeasureHollowDepth, DepthRunsFromTheFootOnTheHullChord) {
    const Points outline{{0, 0}, {1, 2}, {2, 4}, {3, 6}, {4, 8}, {5, 10},
                         {6, 8}, {7, 6}, {8, 4}, {9, 2}, {10, 0}};
    const HollowDepth depth = measureHollowDepth(outline, {{10, 0}, {0, 0}}, 5);
    EXPECT_EQ(depth.chord.p1, cv::Point(0, 0));
    EXPECT_EQ(depth.chord.p2, cv::Point(10, 0));
    // The perpendicular's ends truncate to x = 4 and x = 5, so its foot lands at (4, 0).
    EXPECT_EQ(depth.depthSegment.p1, cv::Point(4, 0));
    EXPECT_EQ(depth.depthSegment.p2, cv::Point(5, 10));
}

TEST(MeasureHollowDepth, WithoutAFootTheDepthRunsFromTheNearerChordEnd) {
    // The hollow overhangs the chord's end B: its perpendicular misses the chord.
    const Points outline{{0, 0},   {3, 2},  {6, 4},  {9, 6},  {12, 8},
                         {14, 10}, {13, 7}, {12, 4}, {11, 2}, {10, 0}};
    const HollowDepth depth = measureHollowDepth(outline, {{0, 0}, {10, 0}}, 5);
    EXPECT_EQ(depth.depthSegment.p1, cv::Point(10, 0));
    EXPECT_EQ(depth.depthSegment.p2, cv::Point(14, 10));
    EXPECT_DOUBLE_EQ(depth.depthSegment.getLength(), std::hypot(4.0, 10.0));
}

TEST(MeasureHollowDepth, ThePerpendicularTurnsByTheDoubleNearestHalfPiNotTheVerticalAngle) {
    // Turned by geometry::VERTICAL_ANGLE, the perpendicular would meet the chord at (22, 23).
    const Points outline{{20, 20}, {27, 21}, {23, 24}};
    const HollowDepth depth = measureHollowDepth(outline, {{20, 20}, {23, 24}}, 1);
    EXPECT_EQ(depth.depthSegment.p1, cv::Point(23, 24));
}

TEST(MeasureHollowDepth, HollowOnAHullVertexHasAOnePointChord) {
    const Points outline{{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}, {0, 10}};
    const HollowDepth depth = measureHollowDepth(outline, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 2);
    EXPECT_EQ(depth.chord.p1, cv::Point(10, 0));
    EXPECT_EQ(depth.chord.p2, cv::Point(10, 0));
    EXPECT_LT(depth.depthSegment.getLength(), 1.5);
}
