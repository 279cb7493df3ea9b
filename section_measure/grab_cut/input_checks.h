// What grabCut accepts, refused as cv::grabCut refuses it: a cv::Exception.
#pragma once

#include <opencv2/imgproc.hpp>

namespace plantscan::section {

// An 8-bit 3-channel image and an 8-bit mask of its size holding only GC_BGD to GC_PR_FGD;
// returns whether any label is a sure one (GC_BGD or GC_FGD).
bool checkGrabCutInput(const cv::Mat& image, const cv::Mat& mask);

// Throws cv::Exception (StsAssert) naming `what` unless `condition` holds.
void requireThat(bool condition, const char* what);

inline bool isBackground(uchar label) { return label == cv::GC_BGD || label == cv::GC_PR_BGD; }

}  // namespace plantscan::section
