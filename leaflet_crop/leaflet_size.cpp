#include "leaflet_crop/leaflet_size.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace plantscan::leaflet {

LeafletSize measureLeaflet(const cv::Mat& blackAndWhite, const std::vector<cv::Point>& outline,
                           const cv::RotatedRect& fitted) {
    LeafletSize size;
    size.length = std::max(fitted.size.width, fitted.size.height);
    size.width = std::min(fitted.size.width, fitted.size.height);
    size.perimeter = cv::arcLength(outline, true);
    const LeafletPixels pixels = leafletPixels(blackAndWhite, outline);
    if (!pixels.light.empty()) size.area = cv::countNonZero(pixels.light);
    return size;
}

LeafletPixels leafletPixels(const cv::Mat& blackAndWhite, const std::vector<cv::Point>& outline) {
    LeafletPixels pixels;
    // Only the outline's bounding box: a leaflet is small beside its scan.
    pixels.box = cv::boundingRect(outline) & cv::Rect(0, 0, blackAndWhite.cols, blackAndWhite.rows);
    if (pixels.box.empty()) return pixels;
    pixels.inside = cv::Mat::zeros(pixels.box.size(), CV_8UC1);
    const std::vector<std::vector<cv::Point>> outlines{outline};
    cv::drawContours(pixels.inside, outlines, 0, cv::Scalar(255), cv::FILLED, cv::LINE_8,
                     cv::noArray(), 0, -pixels.box.tl());
    cv::bitwise_and(pixels.inside, blackAndWhite(pixels.box), pixels.light);
    return pixels;
}

}  // namespace plantscan::leaflet
