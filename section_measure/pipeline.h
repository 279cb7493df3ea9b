// The section's stages in their order: from a scan, or from its foreground, to the measurements.
#pragma once

#include "section_measure/measurements.h"
#include "section_measure/section.h"
#include "section_measure/segmentation.h"

#include <opencv2/core.hpp>

#include <functional>
#include <ostream>
#include <vector>

namespace plantscan::section {

// The stages' names, as the error messages give them.
struct StageNames {
    const char* segmentation;
    const char* outline;
    const char* cornersHollows;
    const char* measurements;
};
inline constexpr StageNames STAGE{"segmentation", "extraction du contour",
                                  "détection des angles et des creux", "mesures"};

// Where the stages send what they show, and who hears of each stage as it begins.
struct RunOutputs {
    std::ostream& console;
    output::ImageWriter writeImage;
    std::function<void(const char* stage)> beginStage;  // may be empty
};

// What the stages found on their way to the measurements, and the measurements.
struct MeasuredSection {
    std::vector<cv::Point> outline;
    CornersAndHollows cornersAndHollows;
    SectionMeasurements measurements;
};

// Outline, corners and hollows, then the measurements of the section in `foreground` (255 on
// 0) of `image`, a scan of `size`.
MeasuredSection measureForeground(const cv::Mat& foreground, const cv::Mat& image, cv::Size size,
                                  const RunOutputs& outputs);

// Segments `image` with `grabCut` as the segmentation's grabCut step, then measureForeground.
MeasuredSection measureScan(const cv::Mat& image, const RunOutputs& outputs,
                            const GrabCutStep& grabCut = runGrabCut);

}  // namespace plantscan::section
