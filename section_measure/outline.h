#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace plantscan::section {

// Draws every contour of `searched` into `drawing`, each in its own colour, and returns the
// points of the last outer contour whose area exceeds `minArea`, without the first point and
// without the points within BORDER_BAND pixels of the border.
std::vector<cv::Point> findSectionContour(cv::Mat searched, cv::Mat drawing, double minArea);

// Every pixel of the open chain through `contour`; throws SectionError when `contour` is empty.
std::vector<cv::Point> getAllPointsOfContour(const std::vector<cv::Point>& contour, cv::Size size);

std::vector<cv::Point> removeConsecutiveDuplicates(const std::vector<cv::Point>& points);

// Throws SectionError for an outline too short for the feature windows of the measurements.
void requireMeasurableOutline(const std::vector<cv::Point>& outline);

// The section's outline in `foreground` (section 255) of a scan of `size`, every contour drawn
// into `annotated`: the section contour walked pixel by pixel, without repeats. Throws
// SectionError when there is none or it is too short to measure.
std::vector<cv::Point> extractOutline(cv::Mat foreground, cv::Mat annotated, cv::Size size);

}  // namespace plantscan::section
