// Cutting one leaflet box out of the scan as an upright, axis-aligned crop.
#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace plantscan::leaflet {

// How a box is cut: the scan is turned by `rotation` about the box centre, then a patch of
// `patchSize` centred on `center` is sampled out of the turned scan.
struct UprightCut {
    cv::Mat rotation;  // 2 x 3, CV_64F
    cv::Size patchSize;
    cv::Point2f center;
};

UprightCut uprightCut(const cv::RotatedRect& box);

// The crop equals getRectSubPix of the whole scan warped with cubic interpolation and a black
// border, but only the pixels that getRectSubPix reads are warped.
cv::Mat cropUpright(const cv::Mat& source, const cv::RotatedRect& box);

// The part of an image of `imageSize` that getRectSubPix reads for this patch, with a margin,
// clipped to the image.
cv::Rect patchSourceRect(cv::Size imageSize, cv::Size patchSize, cv::Point2f center);

// Writes into `region` of `warped` (already allocated at its full size) exactly the pixels that
// cv::warpAffine(source, warped, transform, warped.size(), INTER_CUBIC, BORDER_CONSTANT, 0) gives.
void warpAffineRegion(const cv::Mat& source, const cv::Mat& transform, cv::Mat& warped,
                      const cv::Rect& region);

}  // namespace plantscan::leaflet
