#include "section_measure/grab_cut/input_checks.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace plantscan::section {

void requireThat(bool condition, const char* what) {
    if (!condition) cv::error(cv::Error::StsAssert, what, "grabCutFromMask", __FILE__, __LINE__);
}

bool checkGrabCutInput(const cv::Mat& image, const cv::Mat& mask) {
    if (image.empty()) CV_Error(cv::Error::StsBadArg, "grabCut: no image");
    if (image.type() != CV_8UC3)
        CV_Error(cv::Error::StsBadArg, "grabCut: the image must be 8-bit, 3 channels");
    if (mask.empty()) CV_Error(cv::Error::StsBadArg, "grabCut: no mask");
    if (mask.type() != CV_8UC1)
        CV_Error(cv::Error::StsBadArg, "grabCut: the mask must be 8-bit, 1 channel");
    if (mask.size() != image.size())
        CV_Error(cv::Error::StsBadArg, "grabCut: mask and image differ in size");
    // The least and greatest labels, a pass the compiler can do many bytes at a time.
    uchar least = 255, greatest = 0;
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* labels = mask.ptr<uchar>(y);
        for (int x = 0; x < mask.cols; ++x) {
            least = std::min(least, labels[x]);
            greatest = std::max(greatest, labels[x]);
        }
    }
    if (greatest > cv::GC_PR_FGD)
        CV_Error(cv::Error::StsBadArg, "grabCut: a mask label is not one of GC_BGD to GC_PR_FGD");
    return least < cv::GC_PR_BGD;
}

}  // namespace plantscan::section
