#include "geometry/segment.h"
#include "tests/geometry/segment_pixels_reference.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace geometry = plantscan::geometry;
using namespace plantscan::geometry;

namespace {

using geometry::Segment;

using Points = std::vector<cv::Point>;

TEST(SegmentPixels, WorkedExamples) {
    const cv::Size size(20, 20);
    EXPECT_EQ(Segment({0, 0}, {3, 0}).getAllPointsOfSegment(size),
              (Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(Segment({3, 0}, {0, 0}).getAllPointsOfSegment(size),
              (Points{{3, 0}, {2, 0}, {1, 0}, {0, 0}}));
    EXPECT_EQ(Segment({2, 5}, {2, 3}).getAllPointsOfSegment(size),
              (Points{{2, 5}, {2, 4}, {2, 3}}));
    EXPECT_EQ(Segment({0, 0}, {3, 3}).getAllPointsOfSegment(size),
              (Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(Segment({7, 7}, {7, 7}).getAllPointsOfSegment(size), (Points{{7, 7}}));
}

TEST(SegmentPixels, SameAsDrawingAndScanningOnRandomSegments) {
    std::mt19937 rng(20261208);
    const cv::Size sizes[] = {{40, 30}, {200, 300}, {640, 480}};
    int compared = 0;
    for (const cv::Size size : sizes) {
        std::uniform_int_distribution<int> x(0, size.width - 1), y(0, size.height - 1), d(-6, 6);
        for (int i = 0; i < 3000; ++i) {
            const cv::Point a(x(rng), y(rng));
            // Mix far ends with near ones (steep, shallow, diagonal and single-pixel steps).
            cv::Point b = i % 2 ? cv::Point(x(rng), y(rng)) : a + cv::Point(d(rng), d(rng));
            b.x = std::min(std::max(b.x, 0), size.width - 1);
            b.y = std::min(std::max(b.y, 0), size.height - 1);
            const Segment s(a, b);
            ASSERT_EQ(s.getAllPointsOfSegment(size), pixelsByDrawing(s, size))
                << "segment " << a << " -> " << b << " in " << size;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 9000);
}

TEST(SegmentPixels, SameAsDrawingOnLongSegmentsOfALargeImage) {
    std::mt19937 rng(7);
    const cv::Size size(4000, 4000);
    std::uniform_int_distribution<int> c(0, 3999);
    for (int i = 0; i < 40; ++i) {
        const Segment s({c(rng), c(rng)}, {c(rng), c(rng)});
        ASSERT_EQ(s.getAllPointsOfSegment(size), pixelsByDrawing(s, size))
            << s.p1 << " -> " << s.p2;
    }
    const Segment corner({0, 0}, {3999, 3999});
    EXPECT_EQ(corner.getAllPointsOfSegment(size), pixelsByDrawing(corner, size));
    const Segment reversed({3999, 1}, {0, 3998});
    EXPECT_EQ(reversed.getAllPointsOfSegment(size), pixelsByDrawing(reversed, size));
}

}  // namespace
