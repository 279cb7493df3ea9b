#pragma once

#include <opencv2/core.hpp>

#include <functional>

namespace plantscan::section {

// grabCut in mask mode with empty colour models: rewrites `mask` (GC_BGD, GC_FGD, GC_PR_BGD,
// GC_PR_FGD per pixel of the 8-bit 3-channel `image`) to exactly the labels that
// cv::grabCut(image, mask, cv::Rect(), bgdModel, fgdModel, iterations, cv::GC_INIT_WITH_MASK)
// gives with OpenCV 4.6, empty models and the same cv::theRNG() state, which it leaves as
// cv::grabCut does. Faster and smaller: what depends on a colour alone (k-means' assignments,
// the colour likelihoods) is computed once per distinct colour, the graph is an implicit
// 8-neighbour grid reset rather than rebuilt for each round, and the per-pixel passes run on
// OpenCV's threads (any thread count gives the same labels). The parts are in grab_cut/.
// Throws cv::Exception where cv::grabCut does (bad image or mask, a class without pixels).
// `beginPart`, when given, hears of each part of the work as it begins, for a benchmark to time.
using GrabCutPartHook = std::function<void(const char* part)>;
void grabCutFromMask(const cv::Mat& image, cv::Mat& mask, int iterations,
                     const GrabCutPartHook& beginPart = {});

}  // namespace plantscan::section
