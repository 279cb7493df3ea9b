// A leaflet's shape and colour beyond its size: a perimeter true to the edge, the calipers,
// circularity, solidity and the mean colour.
#pragma once

#include "leaflet_crop/leaflet_colour.h"

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan::leaflet {

// In pixels of the scan (circularity and solidity have no unit), all from the sub-pixel
// outline (traceSubPixelOutline).
struct LeafletShape {
    double area = 0;         // SubPixelOutline's: its holes off, light islands in them on
    double perimeter = 0;    // the outline's length
    double feretMax = 0;     // the longest distance between two points of the outline
    double feretMin = 0;     // its smallest caliper width
    double circularity = 0;  // 4 pi area / perimeter^2: 1 for a disc
    double solidity = 0;     // area / area of the outline's convex hull
    CieLab colour;           // of meanLinearRgb
};

// `source`: the 8-bit BGR scan, `blackAndWhite` what binarizeScan makes of it, `outline`: the
// leaflet's outline from findLeafletBoxes.
LeafletShape measureLeafletShape(const cv::Mat& source, const cv::Mat& blackAndWhite,
                                 const std::vector<cv::Point>& outline);

// The convex hull of the points, in order, without points on its edges.
std::vector<cv::Point2d> convexHullOf(std::vector<cv::Point2d> points);

struct FeretDiameters {
    double longest = 0;   // Feret max: the longest distance between two of its points
    double shortest = 0;  // Feret min: the narrowest gap between two parallel lines holding it
    cv::Point2d longestEnds[2];     // those two points
    cv::Point2d narrowestSide[2];   // where the narrowest pair of lines holds it: one along
    cv::Point2d narrowestOpposite;  // this side of the hull, the other through this point
};

// Of a convex polygon as convexHullOf gives it (rotating calipers).
FeretDiameters feretDiameters(const std::vector<cv::Point2d>& hull);

// 0 when the perimeter, or the hull's area, is 0.
double circularity(double area, double perimeter);
double solidity(double area, double hullArea);

}  // namespace plantscan::leaflet
