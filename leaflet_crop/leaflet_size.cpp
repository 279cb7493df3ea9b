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

    // Only the outline's bounding box: a leaflet is small beside its scan.
    const cv::Rect box =
        cv::boundingRect(outline) & cv::Rect(0, 0, blackAndWhite.cols, blackAndWhite.rows);
    if (box.empty()) return size;
    cv::Mat inside = cv::Mat::zeros(box.size(), CV_8UC1);
    const std::vector<std::vector<cv::Point>> outlines{outline};
    cv::drawContours(inside, outlines, 0, cv::Scalar(255), cv::FILLED, cv::LINE_8, cv::noArray(), 0,
                     -box.tl());
    cv::bitwise_and(inside, blackAndWhite(box), inside);
    size.area = cv::countNonZero(inside);
    return size;
}

}  // namespace plantscan::leaflet
