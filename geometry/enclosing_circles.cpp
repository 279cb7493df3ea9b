#include "geometry/enclosing_circles.h"

#include "geometry/pixel_arithmetic.h"
#include "geometry/smallest_circle.h"

#include <opencv2/imgproc.hpp>

namespace plantscan::geometry {

Circle getCircumscribedCircle(const std::vector<cv::Point>& outline) {
    const FloatCircle smallest = smallestEnclosingCircle(outline);
    return Circle(truncateToInt(smallest.radius), cv::Point(smallest.center));
}

Circle getInscribedCircle(const std::vector<cv::Point>& outline, cv::Size size) {
    // Work on the outline's bounding box plus a ring of background: the nearest background
    // pixel of any section pixel lies within that ring, so the distances are those of the
    // whole scan, at a fraction of the cost. Where the box meets the scan's edge it stops
    // there, as the scan does. This also keeps cv::distanceTransform away from columns past
    // 4096, where OpenCV 4.6 gets distances wrong.
    const cv::Rect scan(0, 0, size.width, size.height);
    const cv::Rect bounds = cv::boundingRect(outline);
    const cv::Rect box =
        cv::Rect(bounds.x - 1, bounds.y - 1, bounds.width + 2, bounds.height + 2) & scan;

    cv::Mat mask = cv::Mat::zeros(box.size(), CV_8UC1);
    const std::vector<std::vector<cv::Point>> polygons{outline};
    cv::fillPoly(mask, polygons, cv::Scalar(255, 0, 0, 0), cv::LINE_8, 0, -box.tl());
    cv::Mat distances;
    cv::distanceTransform(mask, distances, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    double maximum = 0;
    cv::Point location;
    cv::minMaxLoc(distances, nullptr, &maximum, nullptr, &location);
    return Circle(truncateToInt(maximum), location + box.tl());
}

}  // namespace plantscan::geometry
