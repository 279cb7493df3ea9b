#include "section_measure/segmentation.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace plantscan::output;
using namespace plantscan::section;

namespace {

using Writes = std::vector<std::pair<std::string, cv::Mat>>;

ImageWriter recordInto(Writes& writes) {
    return [&writes](const std::string& name, const cv::Mat& image) {
        writes.emplace_back(name, image.clone());
    };
}

bool samePixels(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a != b) == 0;
}

// A dark disc on a light background, with two marker pixels at gray 50 and 51.
cv::Mat discScan() {
    cv::Mat scan(160, 160, CV_8UC3, cv::Scalar(200, 200, 200));
    cv::circle(scan, {80, 80}, 45, cv::Scalar(20, 20, 20), cv::FILLED);
    scan.at<cv::Vec3b>(5, 5) = {50, 50, 50};
    scan.at<cv::Vec3b>(5, 7) = {51, 51, 51};
    return scan;
}

}  // namespace

TEST(ApplyOpening, RemovesDetailsNarrowerThanTheEllipseAndLeavesTheInputAlone) {
    cv::Mat input = cv::Mat::zeros(100, 100, CV_8UC1);
    cv::rectangle(input, {20, 20}, {79, 79}, 255, cv::FILLED);
    cv::rectangle(input, {5, 5}, {12, 12}, 255, cv::FILLED);  // 8 x 8: smaller than 21 x 21
    const cv::Mat before = input.clone();
    const cv::Mat opened = applyOpening(input, 10);
    EXPECT_TRUE(samePixels(input, before));
    EXPECT_EQ(opened.at<uchar>(8, 8), 0);
    EXPECT_EQ(opened.at<uchar>(50, 50), 255);
    EXPECT_EQ(opened.at<uchar>(20, 20), 0);  // the ellipse cannot reach a square's corner
}

TEST(ApplyOpening, SamePixelsAsOpenCvOnOneImageWhateverTheThreads) {
    cv::RNG rng(5);
    const int threadsBefore = cv::getNumThreads();
    for (const cv::Size size : {cv::Size(40, 3), cv::Size(97, 61), cv::Size(300, 211)}) {
        // Speckle and blobs: edges everywhere, in every band and across every band's end.
        cv::Mat input(size, CV_8UC1);
        rng.fill(input, cv::RNG::UNIFORM, 0, 256);
        input = input > 200;
        for (int i = 0; i < 12; ++i) {
            cv::circle(input, {rng.uniform(0, size.width), rng.uniform(0, size.height)},
                       rng.uniform(3, 40), 255, cv::FILLED);
        }
        cv::Mat expected;
        cv::morphologyEx(input, expected, cv::MORPH_OPEN,
                         cv::getStructuringElement(cv::MORPH_ELLIPSE, {21, 21}, {10, 10}));
        for (const int threads : {1, 2, 7}) {
            cv::setNumThreads(threads);
            EXPECT_TRUE(samePixels(applyOpening(input, 10), expected))
                << size << " on " << threads << " threads";
        }
    }
    cv::setNumThreads(threadsBefore);
}

TEST(SeedGrabCutMask, DarkPixelsStartAsProbableSectionAllOthersAsProbableBackground) {
    const cv::Mat thresholded = (cv::Mat_<uchar>(1, 3) << 255, 0, 255);
    const cv::Mat mask = seedGrabCutMask(thresholded);
    EXPECT_TRUE(samePixels(mask, (cv::Mat_<uchar>(1, 3) << 3, 2, 3)));
}

TEST(TakeForeground, SureAndProbableSectionBecomeWhite) {
    const cv::Mat mask = (cv::Mat_<uchar>(1, 4) << 0, 1, 2, 3);
    EXPECT_TRUE(samePixels(takeForeground(mask), (cv::Mat_<uchar>(1, 4) << 0, 255, 0, 255)));
}

TEST(SegmentSection, WritesItsFiveImagesInOrderAndEndsWithTheSectionBlackOnWhite) {
    Writes writes;
    std::ostringstream console;
    const Segmentation result = segmentSection(discScan(), recordInto(writes), console);
    EXPECT_EQ(console.str(), "bb\ncc\n");

    ASSERT_EQ(writes.size(), 5u);
    const std::vector<std::string> names{"gray.bmp", "bw.jpg", "bw2.jpg", "grabcut.jpg", "bw.jpg"};
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(writes[i].first, names[i]);

    const cv::Mat& firstBw = writes[1].second;
    EXPECT_TRUE(samePixels(firstBw, writes[2].second));
    EXPECT_EQ(firstBw.at<uchar>(5, 5), 255);  // gray 50: dark
    EXPECT_EQ(firstBw.at<uchar>(5, 7), 0);    // gray 51: light
    EXPECT_EQ(firstBw.at<uchar>(80, 80), 255);

    EXPECT_TRUE(samePixels(writes[4].second, result.sectionMask));
    EXPECT_EQ(result.sectionMask.at<uchar>(80, 80), 0);
    EXPECT_EQ(result.sectionMask.at<uchar>(150, 150), 255);
    cv::Mat inverse;
    cv::bitwise_not(result.sectionMask, inverse);
    EXPECT_TRUE(samePixels(result.foreground, inverse));
}

TEST(SegmentSection, FillsANarrowCrackThatGrabCutStillShows) {
    cv::Mat scan = discScan();
    cv::rectangle(scan, {78, 30}, {82, 80}, cv::Scalar(200, 200, 200), cv::FILLED);
    Writes writes;
    std::ostringstream console;
    const Segmentation result = segmentSection(scan, recordInto(writes), console);
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[3].second.at<uchar>(60, 80), 0);
    EXPECT_EQ(result.foreground.at<uchar>(60, 80), 255);
}

TEST(SegmentSection, AScanWithoutBothClassesIsNotMeasurable) {
    for (int level : {10, 200}) {
        const cv::Mat scan(60, 60, CV_8UC3, cv::Scalar(level, level, level));
        Writes writes;
        std::ostringstream console;
        EXPECT_THROW(segmentSection(scan, recordInto(writes), console), SectionError);
        EXPECT_EQ(console.str(), "bb\n");
        EXPECT_EQ(writes.size(), 3u);
    }
}

TEST(SegmentSection, GrabCutDrawsFromANewThreadsGeneratorAndTheCallersStateComesBack) {
    const std::uint64_t callers = 0x2545F4914F6CDD1DULL;
    std::uint64_t seen = 0;
    const GrabCutStep step = [&seen](const cv::Mat& image, cv::Mat& mask) {
        seen = cv::theRNG().state;
        cv::theRNG().next();
        runGrabCut(image, mask);
    };
    Writes writes;
    std::ostringstream console;
    cv::theRNG().state = callers;
    segmentSection(discScan(), recordInto(writes), console, step);
    EXPECT_EQ(seen, cv::RNG().state);
    EXPECT_EQ(cv::theRNG().state, callers);
}
