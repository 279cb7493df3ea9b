#include "mask_pipeline.h"

#include "section_measure/section.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

using namespace plantscan::section;

namespace {

constexpr int CELL = 12;

// A five-lobed section drawn on a grid of cells, then scaled up to pixels.
cv::Mat fiveLobedMask(int cells) {
    std::vector<cv::Point> polygon;
    const double centre = cells / 2.0;
    for (int i = 0; i < 60; ++i) {
        const double angle = i * CV_2PI / 60;
        const double radius = cells * (0.30 + 0.10 * std::cos(5 * angle));
        polygon.emplace_back(static_cast<int>(centre + radius * std::cos(angle)),
                             static_cast<int>(centre + radius * std::sin(angle)));
    }
    cv::Mat small = cv::Mat::zeros(cells, cells, CV_8UC1);
    cv::fillPoly(small, std::vector<std::vector<cv::Point>>{polygon}, cv::Scalar(255));
    cv::Mat mask;
    cv::resize(small, mask, cv::Size(), CELL, CELL, cv::INTER_NEAREST);
    return mask;
}

cv::Mat decode(const std::vector<std::uint8_t>& bytes) {
    return decodeMask(bytes.data(), bytes.size());
}

TEST(MaskDecoding, EncodedMaskDecodesToTheSamePixels) {
    const cv::Mat mask = fiveLobedMask(30);
    const cv::Mat decoded = decode(encodeMask(mask, CELL, false));
    ASSERT_EQ(decoded.size(), mask.size());
    EXPECT_EQ(cv::countNonZero(decoded != mask), 0);
}

TEST(MaskDecoding, TooShortInputGivesNoMask) {
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    EXPECT_TRUE(decode(bytes).empty());
}

TEST(MaskPipeline, FiveLobedSectionIsMeasuredIntoAFullReport) {
    const std::string report = measureMask(decode(encodeMask(fiveLobedMask(30), CELL, true)));
    int lines = 0;
    for (std::size_t at = report.find("\r\n"); at != std::string::npos;
         at = report.find("\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, 9);
    EXPECT_EQ(report.find('.'), std::string::npos);
}

TEST(MaskPipeline, EmptyAndFullMasksAreRefusedAsUnmeasurable) {
    // Nothing at all, and a section filling the image so that the border band takes it all.
    EXPECT_THROW(measureMask(cv::Mat::zeros(200, 200, CV_8UC1)), SectionError);
    EXPECT_THROW(measureMask(cv::Mat(200, 200, CV_8UC1, cv::Scalar(255))), SectionError);
}

}  // namespace
