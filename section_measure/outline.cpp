#include "section_measure/outline.h"

#include "geometry/segment.h"
#include "section_measure/section.h"

#include <opencv2/imgproc.hpp>

#include <string>

namespace plantscan::section {

std::vector<cv::Point> findSectionContour(cv::Mat searched, cv::Mat drawing, double minArea) {
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(searched, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE,
                     cv::Point(0, 0));

    cv::RNG rng(CONTOUR_COLOUR_SEED);
    std::vector<cv::Point> selected;
    for (int i = 0; i < static_cast<int>(contours.size()); ++i) {
        const int red = rng.uniform(0, 255);
        const int green = rng.uniform(0, 255);
        const int blue = rng.uniform(0, 255);
        cv::drawContours(drawing, contours, i, cv::Scalar(blue, green, red, 0), 2, cv::LINE_8,
                         hierarchy, 0, cv::Point(0, 0));
        // A hole inside the section is listed after it; only an outer contour can be the section.
        const bool outer = hierarchy[i][3] == -1;
        if (outer && cv::contourArea(contours[i]) > minArea) selected = contours[i];
    }

    std::vector<cv::Point> kept;
    for (std::size_t i = 1; i < selected.size(); ++i) {
        const cv::Point p = selected[i];
        if (p.x > BORDER_BAND && p.x < searched.cols - BORDER_BAND && p.y > BORDER_BAND &&
            p.y < searched.rows - BORDER_BAND) {
            kept.push_back(p);
        }
    }
    return kept;
}

std::vector<cv::Point> getAllPointsOfContour(const std::vector<cv::Point>& contour, cv::Size size) {
    if (contour.empty()) {
        throw SectionError("Erreur à getAllPointsOfContour : contour.size()=0", true);
    }
    std::vector<cv::Point> points;
    for (std::size_t i = 1; i < contour.size(); ++i) {
        const std::vector<cv::Point> pixels =
            geometry::Segment(contour[i - 1], contour[i]).getAllPointsOfSegment(size);
        points.insert(points.end(), pixels.begin(), pixels.end());
    }
    return points;
}

std::vector<cv::Point> removeConsecutiveDuplicates(const std::vector<cv::Point>& points) {
    std::vector<cv::Point> result;
    for (const cv::Point& p : points) {
        if (result.empty() || p != result.back()) result.push_back(p);
    }
    return result;
}

void requireMeasurableOutline(const std::vector<cv::Point>& outline) {
    if (outline.size() < MIN_OUTLINE_POINTS) {
        throw SectionError("le contour de la section n'a que " + std::to_string(outline.size()) +
                           " points, il en faut au moins " + std::to_string(MIN_OUTLINE_POINTS) +
                           " pour mesurer les angles et les creux");
    }
}

std::vector<cv::Point> extractOutline(cv::Mat foreground, cv::Mat annotated, cv::Size size) {
    const std::vector<cv::Point> contour =
        findSectionContour(foreground, annotated, MIN_SECTION_AREA);
    const std::vector<cv::Point> outline =
        removeConsecutiveDuplicates(getAllPointsOfContour(contour, size));
    requireMeasurableOutline(outline);
    return outline;
}

}  // namespace plantscan::section
