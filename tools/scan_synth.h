// Synthetic scans for the samples, the end-to-end tests and the benchmarks.
// Every image is a pure function of its parameters (the seed included).
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

// A dark five-lobed cane section on a lighter, unevenly lit, noisy background.
struct SectionScanParams {
    int width = 1000;
    int height = 1000;
    cv::Point2d center{500, 500};  // centre of the section, pixels
    double radius = 350;           // distance from the centre to the tip of a corner, pixels
    double rotationDeg = 0;        // turns the whole section
    int lobes = 5;
    double hollowDepth = 0.25;     // how far a hollow reaches in, as a fraction of `radius`
    double cornerRounding = 0.5;   // 0 = sharp corners, 1 = very round
    bool flatHollows = false;      // straight sides between corners instead of concave hollows
    double holeRadius = 0;         // > 0: a light pith (hole) of this radius at the centre
    double crackWidth = 0;         // > 0: a light crack from the rim toward the centre
    double crackLength = 0;
    std::uint64_t seed = 1;
};

// A light leaflet: an ellipse-like leaf of the given length and width turned by angleDeg.
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
