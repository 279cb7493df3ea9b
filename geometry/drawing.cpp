#include "geometry/drawing.h"

#include <opencv2/imgproc.hpp>

namespace plantscan::geometry {

void draw(const Segment& segment, cv::Mat image, int thickness, const cv::Scalar& colour) {
    cv::line(image, segment.p1, segment.p2, colour, thickness, cv::LINE_8, 0);
}

void drawCircle(const Circle& circle, cv::Mat image) {
    cv::circle(image, circle.center, circle.radius, cv::Scalar(255, 255, 255, 0), 1, cv::LINE_8, 0);
}

void drawCross(cv::Mat image, cv::Point q, const cv::Scalar& colour) {
    draw(Segment({q.x - 10, q.y - 10}, {q.x + 10, q.y + 10}), image, 2, colour);
    draw(Segment({q.x - 10, q.y + 10}, {q.x + 10, q.y - 10}), image, 2, colour);
}

}  // namespace plantscan::geometry
