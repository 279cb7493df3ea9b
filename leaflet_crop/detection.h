// Finding the leaflets of a scan: threshold, outlines, enlarged rotated boxes.
#pragma once

#include "image_output/image_file.h"

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan::leaflet {

// Leaflets white (255) on black (0). Hands "gray.bmp" and "bw.jpg" to the writer on the way.
cv::Mat binarizeScan(const cv::Mat& source, const output::ImageWriter& writeImage);

struct LeafletBoxes {
    // One enlarged box per leaflet, in outline order; angles in [-90, 0).
    std::vector<cv::RotatedRect> boxes;
    // The same boxes before they were enlarged: the outline's minimum-area rectangle.
    std::vector<cv::RotatedRect> fitted;
    // The outline each box was made from.
    std::vector<std::vector<cv::Point>> outlines;
    // The black-and-white image in colour, with each leaflet's outline and red box drawn on it.
    cv::Mat drawing;
};

LeafletBoxes findLeafletBoxes(const cv::Mat& blackAndWhite);

// The same rectangle with its angle brought into [-90, 0), the convention the cropping rule
// expects.
cv::RotatedRect toNegativeAngle(cv::RotatedRect box);

}  // namespace plantscan::leaflet
