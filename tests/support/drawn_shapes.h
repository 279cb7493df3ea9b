// Shapes of known size drawn as a flat-bed scanner gives them: each pixel the share of its
// square the shape covers (mixed in linear light, as the sensor sees it), a blur of under a
// pixel, a few gray levels of noise, a light shape on a dark background like the leaf scans.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

// A shape and what is known of it, in pixels. The answers are worked out from its geometry
// (formulas, or simple exhaustive methods on its polygon), never by the code under test.
struct DrawnShape {
    std::string name;
    std::vector<cv::Point2d> outline;  // closed polygon, pixel centres at whole numbers
    std::vector<std::vector<cv::Point2d>> holes;
    double area = 0;       // holes taken off
    double perimeter = 0;  // of the outline
    double feretMax = 0;   // the longest distance between two of its points
    double feretMin = 0;   // its narrowest caliper width
    double hullArea = 0;   // of its convex hull
};

// Angles in degrees, counter-clockwise on screen; lengths in pixels. Polygons have a vertex at
// most every half pixel along curves, so they stand for the curves far below a pixel.
DrawnShape disc(cv::Point2d centre, double radius);
// Axes `a` (along x before turning) and `b`, a >= b.
DrawnShape ellipse(cv::Point2d centre, double a, double b, double degrees);
// `length` along x before turning, `width` along y.
DrawnShape rectangle(cv::Point2d centre, double length, double width, double degrees);
// A leaf margin with teeth: an ellipse's outline cut into `teeth` equal arcs, each a tooth
// whose tip stands `depth` outside the ellipse, two thirds of the way along its arc (leaning
// forward, as serrate margins do), with straight sides from notch to tip to notch.
DrawnShape serrated(cv::Point2d centre, double a, double b, double degrees, int teeth,
                    double depth);
// The shape with another one taken out of it (inside it, not touching its outline).
DrawnShape withHole(DrawnShape shape, const DrawnShape& hole);
// Any closed polygon, its answers worked out by exhaustive methods (fine for a few thousand
// vertices).
DrawnShape polygonShape(std::string name, std::vector<cv::Point2d> outline);

// 1200 dpi: pixels per millimetre.
constexpr double PIXELS_PER_MM = 1200 / 25.4;

struct ScanLook {
    cv::Scalar colour{120, 185, 140};   // the shape's B, G, R (8-bit sRGB values)
    cv::Scalar background{18, 24, 20};  // dark, as under a leaf scanner's lid
    double blur = 0.6;                  // Gaussian, standard deviation in pixels
    double noise = 2;                   // per channel, standard deviation in gray levels
    std::uint64_t seed = 1;
    // Edge pixels mix the two colours' light, as a sensor does; false: their sRGB values, as
    // some scanners' processing might.
    bool mixLight = true;
    // false: each pixel wholly the shape's or the background's, whichever covers more of it
    // (aliased, as cv::fillPoly draws; no scanner does that).
    bool shareEdges = true;
};

// Each pixel's share (0 to 1) of its square, centred on the pixel, inside the polygons (even-odd:
// a hole's polygon takes its inside off): exact across, 16 sample lines down each pixel.
cv::Mat coveredShare(const std::vector<std::vector<cv::Point2d>>& polygons, cv::Size size);

// 8-bit B, G, R.
cv::Mat drawLikeAScan(const DrawnShape& shape, cv::Size size, const ScanLook& look = {});

// The shape moved so that its outline's bounding box has `margin` pixels all round, and the
// image size that leaves.
DrawnShape placed(DrawnShape shape, double margin, cv::Size& size);

}  // namespace test_support
