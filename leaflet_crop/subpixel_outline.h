// A leaflet's outline between the pixels: where the light the scan records crosses the level
// half-way between the leaflet and the background around it, placed by linear interpolation
// between neighbouring pixel centres.
#pragma once

#include "leaflet_crop/leaflet_size.h"

#include <opencv2/core.hpp>

#include <functional>
#include <vector>

namespace plantscan::leaflet {

// What the sub-pixel lines give of a leaflet, in pixels of the scan.
struct SubPixelOutline {
    // Around the filled outline, clockwise on screen, one point per crossing of a line between
    // two neighbouring pixel centres (pixel centres at whole numbers). Usually one line; more
    // when a narrow part of the leaflet, lighter than the threshold but darker than the edge
    // level, parts it.
    std::vector<std::vector<cv::Point2d>> lines;
    // Within the lines around the light pixels: holes taken off, light islands in them counted.
    double area = 0;
    double level = 0;  // the luminance the lines follow
};

// Where a sharp edge lies once the scanner has spread it: where the scan's linear-light
// luminance (of `source`, 8-bit BGR) crosses the level half-way between the leaflet's
// (`leafletLuminance`: luminanceOfLinear of its meanLinearRgb) and the background's, around the
// leaflet of `pixels` (leafletPixels). The background's: the mean luminance of the dark pixels
// of the leaflet's box and 3 pixels around it, but for those within 2 pixels of the leaflet
// (black when there are none).
SubPixelOutline traceSubPixelOutline(const cv::Mat& source, const cv::Mat& blackAndWhite,
                                     const LeafletPixels& pixels, double leafletLuminance);

// A value of the scan at one of its pixels, such as its luminance.
using ScanValue = std::function<float(cv::Point)>;

// The closed lines, in scan coordinates, along which the scan's `value` crosses `level` near
// the edges of `region` (8-bit over `box` of a scan of `scanSize`, nonzero in it): only the
// values within two pixels of those edges are read; beyond, the region counts as above the
// level and the rest, and what lies beyond the scan, below it. Parts of the region that touch
// by a corner are one, as findContours joins light pixels. Lines run clockwise on screen around
// the region's parts, the other way round its holes.
std::vector<std::vector<cv::Point2d>> traceRegionEdge(const ScanValue& value, const cv::Mat& region,
                                                      cv::Rect box, cv::Size scanSize,
                                                      double level);

// Closed polygons: the sum of their lengths; of the areas they enclose, counted positive
// clockwise on screen and negative the other way round.
double closedLength(const std::vector<std::vector<cv::Point2d>>& polygons);
double clockwiseArea(const std::vector<std::vector<cv::Point2d>>& polygons);

}  // namespace plantscan::leaflet
