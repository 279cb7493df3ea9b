// The leaflets of a scan, found and cut out as leaflet_crop does.
#pragma once

#include "plantscan/outputs.h"

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan {

struct Leaflet {
    std::vector<cv::Point> outline;  // the light region's outer contour, in pixels of the scan
    cv::RotatedRect rectangle;       // its minimum-area rectangle grown by 15 pixels all round
    cv::Mat crop;                    // the scan inside `rectangle`, turned upright
};

// Every light region of a dark scan (8-bit, B, G, R or gray) whose outline is longer than 450
// pixels, in the order of leaflet_crop's crops. Outputs: "gray.bmp", "bw.jpg" and
// "drawing.jpg"; the crops are yours to name. Throws OutOfMemoryError, ImageLibraryError.
std::vector<Leaflet> findLeaflets(const cv::Mat& scan, const Outputs& outputs = {});

}  // namespace plantscan
