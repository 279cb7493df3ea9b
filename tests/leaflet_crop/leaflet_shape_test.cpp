// A leaflet's shape and colour values on shapes of known answer, drawn as a scanner gives them.
#include "leaflet_crop/leaflet_shape.h"
#include "leaflet_crop/detection.h"
#include "leaflet_crop/subpixel_outline.h"
#include "support/drawn_shapes.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace plantscan::leaflet;

namespace {

using namespace test_support;
namespace leaflet = plantscan::leaflet;

constexpr double PI = 3.14159265358979323846;
constexpr double MM = PIXELS_PER_MM;

struct Measured {
    LeafletPixels pixels;
    leaflet::SubPixelOutline outline;
    leaflet::LeafletShape shape;
};

// The sub-pixel outline as measureLeafletShape traces it.
leaflet::SubPixelOutline traced(const cv::Mat& scan, const cv::Mat& blackAndWhite,
                                const LeafletPixels& pixels) {
    const cv::Vec3d light = leaflet::meanLinearRgb(scan, pixels);
    return leaflet::traceSubPixelOutline(scan, blackAndWhite, pixels,
                                         leaflet::luminanceOfLinear(light[0], light[1], light[2]));
}

// The largest leaflet found on the scan, measured.
Measured measured(const cv::Mat& scan) {
    const cv::Mat blackAndWhite = binarizeScan(scan, [](const std::string&, const cv::Mat&) {});
    const LeafletBoxes found = findLeafletBoxes(blackAndWhite);
    EXPECT_FALSE(found.outlines.empty());
    if (found.outlines.empty()) return {};
    const std::vector<cv::Point>& outline = *std::max_element(
        found.outlines.begin(), found.outlines.end(),
        [](const auto& a, const auto& b) { return cv::contourArea(a) < cv::contourArea(b); });
    Measured m;
    m.pixels = leafletPixels(blackAndWhite, outline);
    m.outline = traced(scan, blackAndWhite, m.pixels);
    m.shape = leaflet::measureLeafletShape(scan, blackAndWhite, outline);
    return m;
}

Measured drawnAndMeasured(const DrawnShape& shape, const ScanLook& look = {}) {
    cv::Size size;
    const DrawnShape moved = placed(shape, 12, size);
    return measured(drawLikeAScan(moved, size, look));
}

double deltaE(const leaflet::CieLab& p, const leaflet::CieLab& q) {
    return std::sqrt((p.lightness - q.lightness) * (p.lightness - q.lightness) +
                     (p.a - q.a) * (p.a - q.a) + (p.b - q.b) * (p.b - q.b));
}

void expectWithin(double measured, double truth, double share, const char* what) {
    EXPECT_NEAR(measured, truth, share * truth) << what;
}

}  // namespace

// The promises of the docs: perimeter and area within 1 %, Feret max within 0.5 %, on smooth
// shapes from 3 to 50 mm across, at any angle and place within a pixel.
TEST(LeafletShape, DrawnShapesOfKnownSizeOverSizesAnglesAndPlaces) {
    std::vector<DrawnShape> shapes;
    const double fractions[][2] = {{0.0, 0.0}, {0.37, 0.61}, {0.5, 0.5}, {0.83, 0.12}};
    const double discs[] = {3, 6, 12, 50};
    for (int i = 0; i < 4; ++i)
        shapes.push_back(disc({fractions[i][0], fractions[i][1]}, discs[i] / 2 * MM));
    int place = 0;
    for (const double degrees : {0.0, 17.0, 45.0, 63.5, 131.0}) {
        const double* at = fractions[place++ % 4];
        shapes.push_back(ellipse({at[1], at[0]}, 2 * MM, 1 * MM, degrees));
        shapes.push_back(ellipse({at[0], at[1]}, 12 * MM, 5 * MM, degrees));
        shapes.push_back(rectangle({at[1], at[0]}, 5 * MM, 2 * MM, degrees));
        shapes.push_back(rectangle({at[0], at[1]}, 20 * MM, 8 * MM, degrees));
    }
    for (const DrawnShape& shape : shapes) {
        SCOPED_TRACE(shape.name + " " + std::to_string(shape.feretMax / MM) + " mm across");
        const leaflet::LeafletShape m = drawnAndMeasured(shape).shape;
        expectWithin(m.perimeter, shape.perimeter, 0.01, "perimeter");
        expectWithin(m.area, shape.area, 0.01, "area");
        expectWithin(m.feretMax, shape.feretMax, 0.005, "Feret max");
        expectWithin(m.feretMin, shape.feretMin, 0.01, "Feret min");
        expectWithin(m.circularity, 4 * PI * shape.area / (shape.perimeter * shape.perimeter), 0.02,
                     "circularity");
        expectWithin(m.solidity, 1, 0.01, "solidity");
    }
}

// Holes take their area off and the solidity down, not the perimeter up; a light island in a
// hole is area; a notch lowers the solidity by its share of the hull.
TEST(LeafletShape, HolesIslandsAndNotches) {
    DrawnShape holed = withHole(disc({0.5, 0.5}, 8 * MM), disc({1.2 * MM, 0.3}, 3 * MM));
    const DrawnShape island = disc({1.3 * MM, 0.4 * MM}, 1 * MM);
    holed.holes.push_back(island.outline);  // drawn even-odd: inside the hole, so light
    holed.area += island.area;
    const leaflet::LeafletShape m = drawnAndMeasured(holed).shape;
    expectWithin(m.area, holed.area, 0.01, "area");
    expectWithin(m.perimeter, holed.perimeter, 0.01, "perimeter");
    expectWithin(m.solidity, holed.area / holed.hullArea, 0.01, "solidity");

    const double p = MM;
    const DrawnShape notched = polygonShape("notched", {{0.3, 0.6},
                                                        {20 * p, 0.6},
                                                        {20 * p, 8 * p},
                                                        {13 * p, 8 * p},
                                                        {13 * p, 5 * p},
                                                        {7 * p, 5 * p},
                                                        {7 * p, 8 * p},
                                                        {0.3, 8 * p}});
    ASSERT_NEAR(notched.area / notched.hullArea, 1 - 6.0 * 3 / (19.7 * 7.4 + 0.3 * 0.3), 0.02);
    expectWithin(drawnAndMeasured(notched).shape.solidity, notched.area / notched.hullArea, 0.01,
                 "solidity of the notched rectangle");
}

// Only the leaflet's own edge is followed: not another light region within its box, not its
// holes; regions touching by a corner are one leaflet, as findContours sees them; beyond the
// scan's border is background.
TEST(LeafletShape, SubPixelLineFollowsTheLeafletAlone) {
    const double p = MM;
    const DrawnShape ell = polygonShape(
        "L", {{0, 0}, {4 * p, 0}, {4 * p, 1 * p}, {1 * p, 1 * p}, {1 * p, 6 * p}, {0, 6 * p}});
    cv::Size size;
    const DrawnShape alone = placed(ell, 12, size);
    const Measured plain = measured(drawLikeAScan(alone, size));
    DrawnShape crowded = withHole(alone, polygonShape("hole", {{14 + 0.3 * p, 14 + 2 * p},
                                                               {14 + 0.7 * p, 14 + 2 * p},
                                                               {14 + 0.7 * p, 14 + 4 * p},
                                                               {14 + 0.3 * p, 14 + 4 * p}}));
    // A speck in the empty corner of the leaflet's box.
    crowded.holes.push_back(disc({14 + 3 * p, 14 + 4 * p}, 0.5 * p).outline);
    const Measured busy = measured(drawLikeAScan(crowded, size));
    ASSERT_EQ(busy.outline.lines.size(), 1u);
    EXPECT_NEAR(busy.shape.perimeter, plain.shape.perimeter, 0.2);
    EXPECT_NEAR(busy.shape.feretMin, plain.shape.feretMin, 0.05);

    // Two squares of pixels meeting at a corner, half-way between them at their meeting too.
    cv::Mat squares(150, 150, CV_8UC3, cv::Scalar::all(20));
    squares(cv::Rect(10, 10, 60, 60)).setTo(cv::Scalar::all(200));
    squares(cv::Rect(70, 70, 60, 60)).setTo(cv::Scalar::all(200));
    const Measured joined = measured(squares);
    EXPECT_EQ(joined.outline.lines.size(), 1u);

    // A disc half off the scan: half its circle and the diameter along the border.
    const double r = 4 * p;
    const DrawnShape cut = disc({0.3, r + 20.6}, r);
    const Measured half =
        measured(drawLikeAScan(cut, {static_cast<int>(r) + 20, static_cast<int>(2 * r) + 42}));
    EXPECT_NEAR(half.shape.perimeter, PI * r + 2 * r, 0.01 * (PI * r + 2 * r));
}

// The line keeps to the leaflet's edge as the threshold finds it: a dim stripe into a light
// leaflet (lighter than the threshold, darker than half-way) and a faint smudge out of a dark
// one (the other way round) pull it no more than a pixel or two.
TEST(LeafletShape, DimPartsAlongTheEdgeDoNotPullTheLine) {
    const cv::Rect leaf(50, 50, 200, 100);  // its line half-way: 201 x 101 around the centres
    cv::Mat striped(200, 400, CV_8UC3, cv::Scalar::all(20));
    striped(leaf).setTo(cv::Scalar::all(200));
    striped(cv::Rect(140, 50, 10, 70)).setTo(cv::Scalar::all(70));
    EXPECT_NEAR(measured(striped).shape.perimeter, 604, 6);

    cv::Mat smudged(200, 400, CV_8UC3, cv::Scalar::all(20));
    smudged(leaf).setTo(cv::Scalar::all(64));
    smudged(cv::Rect(250, 95, 80, 10)).setTo(cv::Scalar::all(50));
    EXPECT_NEAR(measured(smudged).shape.perimeter, 604, 6);
}

TEST(LeafletShape, CalipersAgreeWithAnExhaustiveSearch) {
    // By hand: the 3-4-5 triangle is 5 long and 12/5 wide.
    const std::vector<cv::Point2d> triangle = leaflet::convexHullOf({{0, 0}, {4, 0}, {0, 3}});
    EXPECT_DOUBLE_EQ(leaflet::feretDiameters(triangle).longest, 5);
    EXPECT_DOUBLE_EQ(leaflet::feretDiameters(triangle).shortest, 2.4);

    // Points on a small grid, so that many lie in line or on one another.
    cv::RNG rng(29);
    for (int round = 0; round < 300; ++round) {
        std::vector<cv::Point2d> points(rng.uniform(3, 30));
        for (cv::Point2d& q : points) q = {double(rng.uniform(0, 12)), double(rng.uniform(0, 9))};
        double longest = 0;
        double shortest = 1e300;
        for (const cv::Point2d& a : points)
            for (const cv::Point2d& b : points) {
                longest = std::max(longest, cv::norm(a - b));
                if (a == b) continue;
                // A line through two points with every point on one side: a caliper's jaw.
                double left = 0, right = 0;
                for (const cv::Point2d& q : points) {
                    const double side = (b - a).cross(q - a) / cv::norm(b - a);
                    left = std::max(left, side);
                    right = std::max(right, -side);
                }
                if (left == 0 || right == 0) shortest = std::min(shortest, left + right);
            }
        const leaflet::FeretDiameters feret =
            leaflet::feretDiameters(leaflet::convexHullOf(points));
        SCOPED_TRACE(round);
        EXPECT_NEAR(feret.longest, longest, 1e-9);
        EXPECT_NEAR(feret.shortest, shortest == 1e300 ? 0 : shortest, 1e-9);
        // And where they are, for a drawing.
        EXPECT_NEAR(cv::norm(feret.longestEnds[1] - feret.longestEnds[0]), longest, 1e-9);
        const cv::Point2d side = feret.narrowestSide[1] - feret.narrowestSide[0];
        EXPECT_NEAR(
            std::abs(side.cross(feret.narrowestOpposite - feret.narrowestSide[0])) / cv::norm(side),
            feret.shortest, 1e-9);
    }
}

// Published CIE L*a*b* (D65) of sRGB colours.
TEST(LeafletColour, TextbookValuesOfSrgbColours) {
    const struct {
        int red, green, blue;
        leaflet::CieLab lab;
    } known[] = {{255, 0, 0, {53.2408, 80.0925, 67.2032}},
                 {0, 255, 0, {87.7347, -86.1827, 83.1793}},
                 {0, 0, 255, {32.2970, 79.1875, -107.8602}},
                 {128, 128, 128, {53.5850, 0, 0}},
                 {255, 255, 255, {100, 0, 0}},
                 {0, 0, 0, {0, 0, 0}}};
    for (const auto& colour : known) {
        const leaflet::CieLab lab = leaflet::cieLabFromSrgb(colour.red, colour.green, colour.blue);
        EXPECT_LT(deltaE(lab, colour.lab), 0.01)
            << colour.red << " " << colour.green << " " << colour.blue;
    }
}

// The mean colour of a leaflet drawn in a known colour, blended into the background along its
// edge, within Delta E 1.5 of it, on a narrow leaflet (much edge) with a hole.
TEST(LeafletColour, MeanColourOfDrawnLeafletsLeavesTheirEdgesOut) {
    const struct {
        cv::Scalar bgr;
        leaflet::CieLab lab;
    } known[] = {{{0, 0, 255}, {53.2408, 80.0925, 67.2032}},
                 {{0, 255, 0}, {87.7347, -86.1827, 83.1793}},
                 {{128, 128, 128}, {53.5850, 0, 0}}};
    // The hole on the long axis, 1.5 mm from the centre.
    const DrawnShape narrow =
        withHole(ellipse({0.4, 0.7}, 4 * MM, 0.6 * MM, 30),
                 ellipse({0.4 - 1.3 * MM, 0.7 + 0.75 * MM}, 1 * MM, 0.2 * MM, 30));
    for (const auto& colour : known) {
        ScanLook look;
        look.colour = colour.bgr;
        const leaflet::CieLab lab = drawnAndMeasured(narrow, look).shape.colour;
        EXPECT_LT(deltaE(lab, colour.lab), 1.5)
            << lab.lightness << " " << lab.a << " " << lab.b << " for " << colour.lab.lightness;
    }
}
