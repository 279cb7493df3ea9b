// The leaflets of a scan, found and cut out as leaflet_crop does, and measured.
#pragma once

#include "plantscan/outputs.h"

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan {

// The resolution a scan is taken to have unless the caller says otherwise.
inline constexpr double DEFAULT_DPI = 1200;

struct Leaflet {
    std::vector<cv::Point> outline;  // the light region's outer contour, in pixels of the scan
    cv::RotatedRect rectangle;       // its minimum-area rectangle grown by 15 pixels all round
    cv::Mat crop;                    // the scan inside `rectangle`, turned upright

    // In millimetres (the area in mm²) at the resolution findLeaflets was given. Area,
    // perimeter and calipers come from the line along the leaflet's edge between the pixels,
    // half-way between its light and the background's; length and width from the pixels'
    // outline.
    double area = 0.0;         // inside that line: dark holes are not counted
    double length = 0.0;       // the longer side of the minimum-area rectangle, before it grows
    double width = 0.0;        // its shorter side
    double perimeter = 0.0;    // that line's length (its holes' not counted)
    double feretMax = 0.0;     // the longest distance between two points of the line
    double feretMin = 0.0;     // the narrowest gap between two parallel lines holding it
    double circularity = 0.0;  // 4 pi area / perimeter^2: 1 for a disc
    double solidity = 0.0;     // area / the area of the line's convex hull
    // The mean colour of its light pixels at least 3 pixels from its edges, the scan's values
    // taken as sRGB under D65 (the scanner's colour, not a calibrated one), as CIE L*a*b*
    // (1976): L* from 0 to 100, a* and b* signed.
    double lStar = 0.0;
    double aStar = 0.0;
    double bStar = 0.0;
};

// Every light region of a dark scan (8-bit, B, G, R or gray) whose outline is longer than 450
// pixels, in the order of leaflet_crop's crops, measured at `dpi` dots per inch. Outputs:
// "gray.bmp", "bw.jpg" and "drawing.jpg"; the crops are yours to name. Throws
// std::invalid_argument for a dpi that is not a positive number, OutOfMemoryError,
// ImageLibraryError.
std::vector<Leaflet> findLeaflets(const cv::Mat& scan, const Outputs& outputs = {},
                                  double dpi = DEFAULT_DPI);

}  // namespace plantscan
