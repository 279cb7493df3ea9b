// Leaflets measured on drawn shapes of known size, at several angles: area within 1 %, length and
// width within 2 pixels, Feret max within 0.5 %, solidity within 1 %, the colour drawn within
// ΔE 1.5; the perimeter a few per cent above the smooth edge's on these aliased edges.
#include "plantscan/plantscan.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

using namespace plantscan::tools;

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double MM_PER_PIXEL = 25.4 / 1200;

struct Shape {
    std::string name;
    std::vector<cv::Point2d> outline;
    std::vector<cv::Point2d> hole;                    // dark, inside the outline
    double area, length, width, perimeter, feretMax;  // pixels
    double solidity;
};

cv::Point2d turned(cv::Point2d p, double degrees) {
    const double a = degrees * PI / 180;
    return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a)};
}

std::vector<cv::Point2d> ellipse(cv::Point2d centre, double a, double b, double degrees) {
    std::vector<cv::Point2d> points;
    for (int k = 0; k < 1440; ++k) {
        const double t = 2 * PI * k / 1440;
        points.push_back(centre + turned({a * std::cos(t), b * std::sin(t)}, degrees));
    }
    return points;
}

// Ramanujan's approximation, far closer than a pixel at these sizes.
double ellipsePerimeter(double a, double b) {
    return PI * (3 * (a + b) - std::sqrt((3 * a + b) * (a + 3 * b)));
}

std::vector<Shape> shapesTurnedBy(double degrees) {
    const cv::Point2d centre(700.3, 690.6);
    std::vector<cv::Point2d> rectangle;
    for (const cv::Point2d corner : {cv::Point2d(-450, -170), cv::Point2d(450, -170),
                                     cv::Point2d(450, 170), cv::Point2d(-450, 170)})
        rectangle.push_back(centre + turned(corner, degrees));
    const double a = 420, b = 230, hole = 90;
    return {
        {"rectangle", rectangle, {}, 900 * 340, 900, 340, 2 * (900 + 340), std::hypot(900, 340), 1},
        {"disc", ellipse(centre, 310, 310, 0), {}, PI * 310 * 310, 620, 620, 2 * PI * 310, 620, 1},
        {"ellipse with a hole", ellipse(centre, a, b, degrees),
         ellipse(centre + turned({150, 20}, degrees), hole, hole, 0), PI * (a * b - hole * hole),
         2 * a, 2 * b, ellipsePerimeter(a, b), 2 * a, (a * b - hole * hole) / (a * b)},
    };
}

const cv::Scalar LEAFLET_COLOUR(110, 190, 130);  // B, G, R

// Light on a dark background, as a leaflet on a scanner.
cv::Mat drawn(const Shape& shape) {
    const cv::Size size(1400, 1400);
    cv::Mat light = polygonMask(shape.outline, size);
    if (!shape.hole.empty()) light.setTo(0, polygonMask(shape.hole, size));
    cv::Mat scan(size, CV_8UC3, cv::Scalar(22, 30, 18));
    scan.setTo(LEAFLET_COLOUR, light);
    return scan;
}

// OpenCV's own conversion, of sRGB values from 0 to 1 under D65: L* 0 to 100, a* and b* signed.
cv::Vec3f labOf(const cv::Scalar& bgr) {
    cv::Mat pixel(1, 1, CV_32FC3, bgr / 255.0), lab;
    cv::cvtColor(pixel, lab, cv::COLOR_BGR2Lab);
    return lab.at<cv::Vec3f>(0, 0);
}

}  // namespace

TEST(LeafletMeasurement, DrawnShapesOfKnownSizeAtSeveralAngles) {
    for (const double degrees : {0.0, 17.0, 45.0, 63.5, 90.0, 131.0}) {
        for (const Shape& shape : shapesTurnedBy(degrees)) {
            SCOPED_TRACE(shape.name + " turned by " + std::to_string(degrees));
            const std::vector<plantscan::Leaflet> leaflets = plantscan::findLeaflets(drawn(shape));
            ASSERT_EQ(leaflets.size(), 1u);
            const plantscan::Leaflet& leaflet = leaflets[0];
            const double area = shape.area * MM_PER_PIXEL * MM_PER_PIXEL;
            EXPECT_NEAR(leaflet.area, area, 0.01 * area);
            EXPECT_NEAR(leaflet.length, shape.length * MM_PER_PIXEL, 2 * MM_PER_PIXEL);
            EXPECT_NEAR(leaflet.width, shape.width * MM_PER_PIXEL, 2 * MM_PER_PIXEL);
            // Steps along the pixels: never shorter than the edge, at most 9 % longer.
            const double perimeter = shape.perimeter * MM_PER_PIXEL;
            EXPECT_GT(leaflet.perimeter, 0.99 * perimeter);
            EXPECT_LT(leaflet.perimeter, 1.09 * perimeter);
            EXPECT_NEAR(leaflet.feretMax, shape.feretMax * MM_PER_PIXEL,
                        0.005 * shape.feretMax * MM_PER_PIXEL);
            EXPECT_LE(leaflet.feretMin, leaflet.feretMax);
            EXPECT_NEAR(leaflet.solidity, shape.solidity, 0.01);
            EXPECT_NEAR(leaflet.circularity,
                        4 * PI * leaflet.area / (leaflet.perimeter * leaflet.perimeter), 1e-9);
            const cv::Vec3f lab = labOf(LEAFLET_COLOUR);
            EXPECT_LT(
                std::hypot(leaflet.lStar - lab[0], leaflet.aStar - lab[1], leaflet.bStar - lab[2]),
                1.5);
        }
    }
}

TEST(LeafletMeasurement, AnotherResolutionScalesEveryValueAndANonsenseOneIsRefused) {
    const cv::Mat scan = drawn(shapesTurnedBy(30)[2]);
    const plantscan::Leaflet at1200 = plantscan::findLeaflets(scan).at(0);
    const plantscan::Leaflet at600 = plantscan::findLeaflets(scan, {}, 600).at(0);
    EXPECT_DOUBLE_EQ(at600.area, 4 * at1200.area);
    EXPECT_DOUBLE_EQ(at600.length, 2 * at1200.length);
    EXPECT_DOUBLE_EQ(at600.width, 2 * at1200.width);
    EXPECT_DOUBLE_EQ(at600.perimeter, 2 * at1200.perimeter);
    EXPECT_DOUBLE_EQ(at600.feretMax, 2 * at1200.feretMax);
    EXPECT_DOUBLE_EQ(at600.feretMin, 2 * at1200.feretMin);
    // No unit: the same at any resolution.
    EXPECT_DOUBLE_EQ(at600.circularity, at1200.circularity);
    EXPECT_DOUBLE_EQ(at600.bStar, at1200.bStar);
    for (const double dpi : {0.0, -1200.0, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()})
        EXPECT_THROW(plantscan::findLeaflets(scan, {}, dpi), std::invalid_argument) << dpi;
}
