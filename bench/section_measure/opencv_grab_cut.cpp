// grabCutFromMask as it was: cv::grabCut itself. Linked into section_measure_opencv_grabcut, the
// reference program of grab_cut_bench and tools/grab_cut_long_run.sh; being defined here, the
// library's own grab_cut.o is never pulled in.
#include "section_measure/grab_cut.h"

#include <opencv2/imgproc.hpp>

void plantscan::section::grabCutFromMask(const cv::Mat& image, cv::Mat& mask, int iterations,
                                         const GrabCutPartHook&) {
    cv::Mat backgroundModel, foregroundModel;
    cv::grabCut(image, mask, cv::Rect(0, 0, 0, 0), backgroundModel, foregroundModel, iterations,
                cv::GC_INIT_WITH_MASK);
}
