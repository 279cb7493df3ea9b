#include "section_measure/segmentation.h"

#include "section_measure/grab_cut.h"
#include "section_measure/grab_cut/row_stripes.h"
#include "section_measure/output_files.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <string>

namespace plantscan::section {

namespace {

// grabCut builds one colour model per class and cannot start without samples of both.
void requireBothClasses(const cv::Mat& grabCutMask) {
    int section = 0;  // without a comparison image of its own
    for (int y = 0; y < grabCutMask.rows; ++y) {
        const uchar* labels = grabCutMask.ptr<uchar>(y);
        for (int x = 0; x < grabCutMask.cols; ++x) section += labels[x] == cv::GC_PR_FGD;
    }
    const int background = static_cast<int>(grabCutMask.total()) - section;
    if (section == 0 || background == 0) {
        throw SectionError(NoSection::NOTHING_TO_SEPARATE,
                           "le seuil à " + std::to_string(DARK_LEVEL) +
                               " ne laisse qu'une seule classe de pixels (" +
                               std::to_string(section) + " pixels sombres, " +
                               std::to_string(background) +
                               " pixels clairs) : grabCut ne peut pas séparer la section du fond");
    }
}

// grabCut's k-means draws from this thread's cv::theRNG(). A segmentation starts it as every
// new thread has it, so a scan gets the same labels whatever ran before on the thread, and gives
// the caller's state back (OpenCV's Python module shares the generator).
class FreshThreadRng {
public:
    FreshThreadRng() : saved_(cv::theRNG()) { cv::theRNG() = cv::RNG(); }
    ~FreshThreadRng() { cv::theRNG() = saved_; }
    FreshThreadRng(const FreshThreadRng&) = delete;
    FreshThreadRng& operator=(const FreshThreadRng&) = delete;

private:
    cv::RNG saved_;
};

}  // namespace

void runGrabCut(const cv::Mat& image, cv::Mat& mask) {
    plantscan::section::grabCutFromMask(
        image, mask, GRABCUT_ITERATIONS);  // cv::grabCut's labels, computed faster
}

cv::Mat applyOpening(cv::Mat input, int radius) {
    const cv::Mat kernel = cv::getStructuringElement(
        cv::MORPH_ELLIPSE, cv::Size(2 * radius + 1, 2 * radius + 1), cv::Point(radius, radius));
    // cv::morphologyEx's opening, an erosion then a dilation, each done in bands of rows at once
    // (OpenCV runs it on one thread): a band handed over as part of a larger image takes the
    // rows beyond it from that image, so the bands join into the same pixels. More bands than
    // threads, which share them out as they come free.
    constexpr int OPENING_BANDS = 16;
    const int bands = std::max(1, std::min(OPENING_BANDS, input.rows));
    const auto inBands = [&](int operation, const cv::Mat& from, cv::Mat& to) {
        to.create(from.size(), from.type());
        cv::parallel_for_(cv::Range(0, bands), [&](const cv::Range& range) {
            for (int b = range.start; b < range.end; ++b) {
                const cv::Range rows(stripeStart(from.rows, bands, b),
                                     stripeStart(from.rows, bands, b + 1));
                cv::Mat band = to.rowRange(rows);
                cv::morphologyEx(from.rowRange(rows), band, operation, kernel, cv::Point(-1, -1), 1,
                                 cv::BORDER_CONSTANT, cv::morphologyDefaultBorderValue());
            }
        });
    };
    cv::Mat eroded, output;
    inBands(cv::MORPH_ERODE, input, eroded);
    inBands(cv::MORPH_DILATE, eroded, output);
    return output;
}

namespace {

// Each pixel of `to` (a new 8-bit image of `from`'s size) as `label` gives it from the same
// pixel of `from`, on OpenCV's threads.
template <class Label>
cv::Mat mapPixels(const cv::Mat& from, Label label) {
    cv::Mat to(from.size(), CV_8UC1);
    forRowStripes(from.rows, [&](int, int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* in = from.ptr<uchar>(y);
            uchar* out = to.ptr<uchar>(y);
            for (int x = 0; x < from.cols; ++x) out[x] = label(in[x]);
        }
    });
    return to;
}

}  // namespace

cv::Mat seedGrabCutMask(const cv::Mat& thresholded) {
    return mapPixels(thresholded, [](uchar v) {
        return static_cast<uchar>(v == 255 ? cv::GC_PR_FGD : cv::GC_PR_BGD);
    });
}

cv::Mat takeForeground(const cv::Mat& grabCutMask) {
    return mapPixels(grabCutMask, [](uchar v) {
        return static_cast<uchar>(v == cv::GC_FGD || v == cv::GC_PR_FGD ? 255 : 0);
    });
}

Segmentation segmentSection(const cv::Mat& image, const output::ImageWriter& writeImage,
                            std::ostream& console, const GrabCutStep& grabCut) {
    cv::Mat gray;
    cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY, 0);
    writeImage(GRAY_FILE, gray);

    cv::Mat thresholded;
    cv::threshold(gray, thresholded, DARK_LEVEL, 255.0, cv::THRESH_BINARY);
    // A header copy: it shares the pixels, so "bw2.jpg" shows the inverted threshold too.
    const cv::Mat thresholdedCopy = thresholded;
    cv::bitwise_not(thresholded, thresholded);
    writeImage(THRESHOLD_FILE, thresholded);
    writeImage(INVERTED_THRESHOLD_FILE, thresholdedCopy);

    cv::Mat grabCutMask = seedGrabCutMask(thresholded);
    console << "bb" << std::endl;
    requireBothClasses(grabCutMask);
    {
        const FreshThreadRng rng;
        grabCut(image, grabCutMask);
    }

    Segmentation result;
    result.foreground = takeForeground(grabCutMask);
    console << "cc" << std::endl;
    writeImage(GRABCUT_FILE, result.foreground);

    cv::bitwise_not(result.foreground, result.sectionMask);
    result.sectionMask = applyOpening(result.sectionMask, OPENING_RADIUS);
    // Pixels of their own: "grabcut.jpg" may not be written yet.
    result.foreground = cv::Mat();
    cv::bitwise_not(result.sectionMask, result.foreground);
    writeImage(THRESHOLD_FILE, result.sectionMask);
    return result;
}

}  // namespace plantscan::section
