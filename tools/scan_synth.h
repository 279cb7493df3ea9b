// Synthetic scans for the samples, the end-to-end tests and the benchmarks.
// Every image is a pure function of its parameters (the seed included).
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace plantscan::tools {

// A dark five-lobed cane section on a lighter, unevenly lit, noisy background.
// Geometry: corner k points in the direction 90 + rotationDeg + k * 360 / lobes degrees,
// angles counted counter-clockwise as seen on screen (0 = +x, 90 = up, since y grows
// downwards), so with rotationDeg = 0 corner 0 points straight up. Each side between two
// corners is a circular arc whose deepest point lies hollowDepth * radius inside the chord
// joining the two (sharp) corners; the corners are then rounded by circles tangent to the
// sides, of radius cornerRounding * 0.3 * radius (before the final scaling that puts the
// rounded tips at exactly `radius`). The section itself has gray <= 45
// (every channel <= 44), the background, the pith hole and the crack gray >= 120.
struct SectionScanParams {
    int width = 1000;
    int height = 1000;
    cv::Point2d center{500, 500};  // centre of the section, pixels
    double radius = 350;           // distance from the centre to the tip of a corner, pixels
    double rotationDeg = 0;        // turns the whole section
    int lobes = 5;
    double hollowDepth = 0.25;    // how far a hollow reaches in, as a fraction of `radius`
    double cornerRounding = 0.5;  // 0 = sharp corners, 1 = very round
    bool flatHollows = false;     // straight sides between corners instead of concave hollows
    double holeRadius = 0;        // > 0: a light pith (hole) of this radius at the centre
    double crackWidth = 0;        // > 0: a light crack from the rim toward the centre
    double crackLength = 0;       // measured inward from the rim
    double crackAngleDeg = 18;    // direction of the crack: offset from corner 0 toward hollow 0
    std::uint64_t seed = 1;       // texture and noise only; the outline does not depend on it
    // A real scanner's many colours (over 100 000 distinct ones at 4 MP instead of a few
    // hundred); both 0 leave the scan as it is without them.
    double sensorNoise = 0;  // > 0: noise of this standard deviation, each channel on its own
    double colourCast = 0;   // > 0: a slow colour drift over the scan, about this amplitude
};

// A light leaflet: an ellipse-like leaf of the given length and width turned by angleDeg.
// angleDeg = 0: the length runs along x (horizontal); 90: along y (vertical). Angles are
// counter-clockwise as seen on screen. Leaves are light (gray about 120 to 220, greenish),
// the background dark (gray < 40), specks light and a few pixels across.
struct Leaf {
    cv::Point2d center;
    double length = 300;
    double width = 120;
    double angleDeg = 0;
};

struct LeafletScanParams {
    int width = 2000;
    int height = 1500;
    std::vector<Leaf> leaves;
    int specks = 40;  // small light specks, far too small to be leaflets
    std::uint64_t seed = 1;
};

// The section's outline as a closed polygon, in pixel coordinates (what the scan draws).
std::vector<cv::Point2d> sectionPolygon(const SectionScanParams& params);

// 8-bit, 3 channels, B-G-R.
cv::Mat makeSectionScan(const SectionScanParams& params);
cv::Mat makeLeafletScan(const LeafletScanParams& params);

// --- Additions ---

// The crack drawn by makeSectionScan as a closed polygon (empty without a crack). It starts
// just outside the rim and reaches crackLength inside it.
std::vector<cv::Point2d> sectionCrackPolygon(const SectionScanParams& params);

// Directions (radians, counter-clockwise on screen, 0 = +x) of corner k and of hollow k
// (hollow k lies between corner k and corner k + 1).
double sectionCornerAngle(const SectionScanParams& params, int k);
double sectionHollowAngle(const SectionScanParams& params, int k);

// The outline of one leaf as a closed polygon, in pixel coordinates (what the scan draws).
std::vector<cv::Point2d> leafPolygon(const Leaf& leaf);

// Every channel of every pixel uniform in 0..255: nearly every pixel a colour of its own, the
// costliest scan for grabCut's colour models.
cv::Mat makeNoiseScan(cv::Size size, std::uint64_t seed);

// A sensible layout of five leaves for an image of this size (angles 0, 90 and others).
std::vector<Leaf> defaultLeafLayout(int width, int height);

// Filled mask (255 inside, 0 outside) of a polygon exactly as the scans draw it: cv::fillPoly
// with 8 bits of sub-pixel precision. Like every cv::fillPoly, it also fills the pixels that the
// outline passes through, so the pixel count is about area + perimeter / 2, and the contour that
// cv::findContours traces through the border pixel centres lies on the polygon.
cv::Mat polygonMask(const std::vector<cv::Point2d>& polygon, cv::Size size);

}  // namespace plantscan::tools
