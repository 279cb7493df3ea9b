#pragma once

#include "section_measure/section.h"

#include <opencv2/core.hpp>

#include <functional>
#include <ostream>

namespace plantscan::section {

struct Segmentation {
    cv::Mat foreground;   // section 255, background 0
    cv::Mat sectionMask;  // section 0, background 255
};

// The grabCut step: rewrites the labels of `mask` (cv::GC_* per pixel of `image`) in place.
using GrabCutStep = std::function<void(const cv::Mat& image, cv::Mat& mask)>;

// cv::grabCut in mask mode, GRABCUT_ITERATIONS rounds, fresh colour models (its labels, by
// grabCutFromMask).
void runGrabCut(const cv::Mat& image, cv::Mat& mask);

// Morphological opening with a (2r + 1) x (2r + 1) ellipse.
cv::Mat applyOpening(cv::Mat input, int radius);

// grabCut labels seeded from the inverted threshold: dark pixels probable section.
cv::Mat seedGrabCutMask(const cv::Mat& thresholded);
// 255 where grabCut left a section label, 0 elsewhere.
cv::Mat takeForeground(const cv::Mat& grabCutMask);

// Threshold, grabCut and opening; writes "gray.bmp", "bw.jpg", "bw2.jpg", "grabcut.jpg", "bw.jpg"
// and prints "bb" and "cc" on `console`. grabCut runs with this thread's cv::theRNG() in the
// state of a new thread, and the caller's state is restored. Throws SectionError when the
// threshold leaves grabCut a single class.
Segmentation segmentSection(const cv::Mat& image, const output::ImageWriter& writeImage,
                            std::ostream& console, const GrabCutStep& grabCut = runGrabCut);

}  // namespace plantscan::section
