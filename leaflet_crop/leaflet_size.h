// What a leaflet measures, from the outline and rectangle that made its crop.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace plantscan::leaflet {

// In pixels of the scan.
struct LeafletSize {
    std::int64_t area = 0;  // light pixels of the black-and-white image inside the filled outline
    double length = 0;      // the longer side of the outline's minimum-area rectangle
    double width = 0;       // its shorter side
    double perimeter = 0;   // the closed outline's length, step by step (diagonals count sqrt 2)
};

// `fitted`: the minimum-area rectangle of `outline`, before it is enlarged for the crop.
// Light pixels of holes inside the outline are not area; a light island in a hole is.
LeafletSize measureLeaflet(const cv::Mat& blackAndWhite, const std::vector<cv::Point>& outline,
                           const cv::RotatedRect& fitted);

// A leaflet's pixels, within its outline's bounding box (clipped to the image): `inside`, the
// filled outline (255), and `light`, those of them light in `blackAndWhite`: its area.
struct LeafletPixels {
    cv::Rect box;
    cv::Mat inside;
    cv::Mat light;
};

LeafletPixels leafletPixels(const cv::Mat& blackAndWhite, const std::vector<cv::Point>& outline);

}  // namespace plantscan::leaflet
