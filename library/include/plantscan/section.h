// A cane section measured as section_measure measures it.
#pragma once

#include "plantscan/outputs.h"

#include <opencv2/core.hpp>

#include <array>
#include <string>
#include <vector>

namespace plantscan {

// Corners ("angles") of a section, and hollows ("creux") between them.
inline constexpr int LOBE_COUNT = 5;

// In pixels of the scan.
struct Circle {
    cv::Point center;
    int radius = 0;
};

// Entry k - 1 of each array belongs to corner or hollow k, as numbered in the report: corner k
// lies between hollows k - 1 and k, corner 1 between hollow 5 and hollow 1.
struct SectionMeasurement {
    // Millimetres at 1200 dpi; ratios in percent of the circumscribed radius.
    double width = 0.0;
    std::array<double, LOBE_COUNT> cornerRadii{};
    std::array<double, LOBE_COUNT> hollowRadii{};
    std::array<double, LOBE_COUNT> hollowDepths{};
    std::array<double, LOBE_COUNT> hollowDistances{};  // from the circumscribed circle
    std::array<double, LOBE_COUNT> hollowRatios{};
    double circumscribedDiameter = 0.0;
    double inscribedDiameter = 0.0;

    // Where they were measured, in pixels.
    std::vector<cv::Point> outline;  // every pixel along the section's contour, in order
    std::array<cv::Point, LOBE_COUNT> corners{};
    std::array<cv::Point, LOBE_COUNT> hollows{};
    std::array<Circle, LOBE_COUNT> cornerCircles{};  // the curvature circles
    std::array<Circle, LOBE_COUNT> hollowCircles{};
    Circle circumscribedCircle;
    Circle inscribedCircle;
};

// Scans are 8-bit, with three channels in B, G, R order or one gray channel; anything else
// throws std::invalid_argument. Outputs: section_measure's console lines and images, under
// its file names. Each measurement starts this thread's cv::theRNG() as a new thread has it
// and gives the caller's state back, so a scan always gets the same numbers.

// The section white (255) on black (0): threshold, grabCut and opening. Throws NoSectionError
// when the threshold leaves grabCut a single class of pixels.
cv::Mat segmentSection(const cv::Mat& scan, const Outputs& outputs = {});

// Everything section_measure measures on `scan`. Throws NoSectionError when no section can be
// measured, OutOfMemoryError, ImageLibraryError.
SectionMeasurement measureSection(const cv::Mat& scan, const Outputs& outputs = {});

// The same after the segmentation: `section` (8-bit, one channel, the size of the scan) is
// non-zero on the section, as segmentSection gives it or as your own segmentation does.
SectionMeasurement measureSectionMask(const cv::Mat& section, const cv::Mat& scan,
                                      const Outputs& outputs = {});

// "mesures.csv" as section_measure writes it, byte for byte: semicolons, comma decimals,
// UTF-8, CR LF.
std::string formatReport(const SectionMeasurement& measurement);

// Writes formatReport into the file at `path`; false when it could not be written.
bool writeReport(const SectionMeasurement& measurement, const std::string& path);

}  // namespace plantscan
