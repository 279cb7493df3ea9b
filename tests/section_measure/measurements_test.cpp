#include "section_measure/measurements.h"

#include "geometry/distance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

namespace geometry = plantscan::geometry;
using namespace plantscan::geometry;
using namespace plantscan::output;
using namespace plantscan::section;

namespace {

using Points = std::vector<cv::Point>;

Points numbered(int n) {
    Points outline;
    for (int i = 0; i < n; ++i) outline.emplace_back(i, 0);
    return outline;
}

Points range(int from, int to) {
    Points points;
    for (int i = from; i < to; ++i) points.emplace_back(i, 0);
    return points;
}

double allPairsWidth(const Points& outline) {
    double widest = 0.0;
    for (const cv::Point& a : outline) {
        for (const cv::Point& b : outline) widest = std::max(widest, geometry::getDistance(a, b));
    }
    return widest;
}

}  // namespace

TEST(ShorterArc, TakesTheShorterWayAndStopsBeforeTheFarBound) {
    const Points outline = numbered(1000);
    Points wrapped = range(990, 1000);
    const Points head = range(0, 20);
    wrapped.insert(wrapped.end(), head.begin(), head.end());
    EXPECT_EQ(shorterArc(outline, 990, 20), wrapped);
    EXPECT_EQ(shorterArc(outline, 20, 990), wrapped);
    EXPECT_EQ(shorterArc(outline, 50, 250), range(50, 250));
    // Both ways equally long: the run that does not pass index 0.
    EXPECT_EQ(shorterArc(numbered(10), 7, 2), range(2, 7));
    EXPECT_TRUE(shorterArc(outline, 5, 5).empty());
}

TEST(HollowHalfWindow, NarrowBelowAHundredDegreesOnly) {
    EXPECT_EQ(hollowHalfWindow(99.9), 15);
    EXPECT_EQ(hollowHalfWindow(100.0), 60);
    EXPECT_EQ(hollowHalfWindow(std::nan("")), 60);
}

TEST(GetSectionWidth, EqualsTheAllPairsMaximumOnRandomOutlines) {
    std::mt19937 random(2024);
    for (int trial = 0; trial < 400; ++trial) {
        Points outline;
        const int n = std::uniform_int_distribution<int>(1, 400)(random);
        switch (trial % 3) {
            case 0: {  // a cloud of points
                std::uniform_int_distribution<int> coordinate(0, 3000);
                for (int i = 0; i < n; ++i)
                    outline.emplace_back(coordinate(random), coordinate(random));
                break;
            }
            case 1: {  // a noisy lobed ring, like a section's outline
                std::normal_distribution<double> noise(0.0, 3.0);
                const double lobes = std::uniform_int_distribution<int>(2, 7)(random);
                for (int i = 0; i < n; ++i) {
                    const double t = 2 * CV_PI * i / n;
                    const double r = 400 + 60 * std::cos(lobes * t) + noise(random);
                    outline.emplace_back(static_cast<int>(1000 + r * std::cos(t)),
                                         static_cast<int>(1000 + r * std::sin(t)));
                }
                break;
            }
            default: {  // a random walk, with repeats and collinear runs
                cv::Point p(500, 500);
                std::uniform_int_distribution<int> step(-1, 1);
                for (int i = 0; i < n; ++i) {
                    p += cv::Point(step(random), step(random));
                    outline.push_back(p);
                }
            }
        }
        ASSERT_EQ(getSectionWidth(outline), allPairsWidth(outline)) << "trial " << trial;
    }
}

TEST(GetSectionWidth, DegenerateOutlines) {
    EXPECT_EQ(getSectionWidth({{7, 7}}), 0.0);
    EXPECT_EQ(getSectionWidth({{0, 0}, {1, 1}, {2, 2}, {3, 3}}), std::hypot(3.0, 3.0));
}

TEST(MeasureFeatures, AnArcTooShortForACircleFitEndsTheRun) {
    Points outline;
    for (int i = 0; i < 120; ++i) {
        const double t = 2 * CV_PI * i / 120;
        outline.emplace_back(static_cast<int>(100 + 80 * std::cos(t)),
                             static_cast<int>(100 + 80 * std::sin(t)));
    }
    const cv::Mat image = cv::Mat::zeros(200, 200, CV_8UC3);
    const ImageWriter ignore = [](const std::string&, const cv::Mat&) {};
    // Hollows 5 and 1 coincide: angle 1 has no arc at all.
    Hollows hollows;
    const int indices[] = {0, 20, 40, 60, 0};
    for (int k = 0; k < LOBE_COUNT; ++k) hollows[k] = {indices[k], outline[indices[k]], 1.0};
    std::ostringstream console;
    EXPECT_THROW(measureFeatures(image, image.size(), outline, hollows, ignore, console),
                 SectionError);
}
