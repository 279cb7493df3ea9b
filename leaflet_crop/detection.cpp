#include "leaflet_crop/detection.h"

#include "leaflet_crop/output_files.h"

#include <opencv2/imgproc.hpp>

#include <utility>

namespace plantscan::leaflet {

namespace {

constexpr double kMinLeafletPerimeter = 450;
constexpr float kBoxMargin = 30;

}  // namespace

cv::Mat binarizeScan(const cv::Mat& source, const output::ImageWriter& writeImage) {
    cv::Mat gray;
    cv::cvtColor(source, gray, cv::COLOR_BGR2GRAY, 0);
    writeImage(GRAY_FILE, gray);
    cv::Mat blackAndWhite;
    cv::threshold(gray, blackAndWhite, 50, 255, cv::THRESH_BINARY);
    writeImage(BLACK_AND_WHITE_FILE, blackAndWhite);
    return blackAndWhite;
}

cv::RotatedRect toNegativeAngle(cv::RotatedRect box) {
    // OpenCV 4.5+ reports (0, 90]; a quarter turn back with the sides exchanged is the same
    // rectangle.
    while (box.angle >= 0) {
        box.angle -= 90;
        std::swap(box.size.width, box.size.height);
    }
    return box;
}

LeafletBoxes findLeafletBoxes(const cv::Mat& blackAndWhite) {
    std::vector<std::vector<cv::Point>> outlines;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(blackAndWhite, outlines, hierarchy, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE,
                     cv::Point(0, 0));

    LeafletBoxes found;
    found.drawing = blackAndWhite.clone();
    cv::cvtColor(found.drawing, found.drawing, cv::COLOR_GRAY2BGR, 0);

    cv::RNG colours(12345);
    for (int i = 0; i < static_cast<int>(outlines.size()); ++i) {
        // Drawn for every outline, so a leaflet's colour depends only on its position in the list.
        const int red = colours.uniform(0, 255);
        const int green = colours.uniform(0, 255);
        const int blue = colours.uniform(0, 255);
        if (!(cv::arcLength(outlines[i], true) > kMinLeafletPerimeter)) continue;
        cv::drawContours(found.drawing, outlines, i, cv::Scalar(blue, green, red, 0), 2, cv::LINE_8,
                         hierarchy, 0, cv::Point(0, 0));

        const cv::RotatedRect fitted = toNegativeAngle(cv::minAreaRect(outlines[i]));
        cv::RotatedRect box = fitted;
        box.size.width += kBoxMargin;
        box.size.height += kBoxMargin;

        cv::Point2f corners[4];
        box.points(corners);
        for (int k = 0; k < 4; ++k)
            cv::line(found.drawing, cv::Point(corners[k]), cv::Point(corners[(k + 1) % 4]),
                     cv::Scalar(0, 0, 255), 3, cv::LINE_8, 0);
        found.boxes.push_back(box);
        found.fitted.push_back(fitted);
        found.outlines.push_back(outlines[i]);
    }
    return found;
}

}  // namespace plantscan::leaflet
