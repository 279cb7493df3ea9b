// leaflet_crop's stages in their order, driven here once for the program and the library.
#pragma once

#include "image_output/image_file.h"

#include <opencv2/core.hpp>

#include <functional>
#include <vector>

namespace plantscan::leaflet {

// One leaflet found, as its crop and its measurement take it.
struct FoundLeaflet {
    int index;                              // its crop's number, from 0
    const std::vector<cv::Point>& outline;  // the light region's outer contour
    const cv::RotatedRect& box;             // the enlarged box its crop is cut from
    const cv::RotatedRect& fitted;          // the outline's minimum-area rectangle
    const cv::Mat& blackAndWhite;           // the thresholded scan, leaflets 255
};

// Thresholds `image` (handing "gray.bmp" and "bw.jpg" to `write`), finds the leaflets and
// hands each to `visit` in the order of the crops, then hands "drawing.jpg" to `write`.
void forEachLeaflet(const cv::Mat& image, const output::ImageWriter& write,
                    const std::function<void(const FoundLeaflet&)>& visit);

}  // namespace plantscan::leaflet
