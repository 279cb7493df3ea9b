#include "section_measure/pipeline.h"

#include "support/test_scans.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace plantscan::section;
using namespace plantscan::tools;

namespace {

cv::Mat smallScan(const std::function<void(SectionScanParams&)>& change = {}) {
    SectionScanParams params = test_support::centredSection(300, 300, 110, 0, 5);
    if (change) change(params);
    return makeSectionScan(params);
}

}  // namespace

TEST(MeasureScan, SegmentsWithTheGivenGrabCutStepAndNamesEachStageAsItBegins) {
    const cv::Mat scan = smallScan();
    std::vector<std::string> stages;
    std::ostringstream console;
    const RunOutputs outputs{console, [](const std::string&, const cv::Mat&) {},
                             [&stages](const char* stage) { stages.emplace_back(stage); }};

    // A step that keeps the threshold's labels: the section is measured on the threshold alone.
    int calls = 0;
    const SectionMeasurements kept =
        measureScan(scan, outputs, [&calls](const cv::Mat&, cv::Mat&) { ++calls; }).measurements;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(stages, (std::vector<std::string>{STAGE.segmentation, STAGE.outline,
                                                STAGE.cornersHollows, STAGE.measurements}));
    EXPECT_EQ(console.str().rfind("bb\ncc\nPoint( x = ", 0), 0u) << console.str();
    EXPECT_GT(kept.sectionWidth, 3.0);

    // A step that leaves no section: the run stops at the outline, with its console line.
    stages.clear();
    try {
        measureScan(scan, outputs, [](const cv::Mat&, cv::Mat& mask) { mask.setTo(cv::GC_BGD); });
        FAIL() << "a scan without a section was measured";
    } catch (const SectionError& error) {
        EXPECT_TRUE(error.isConsoleLine);
    }
    EXPECT_EQ(stages.back(), STAGE.outline);
}

TEST(MeasureScan, LeavesEachImageAsHandedOver) {
    // The image files are encoded on other threads from the images themselves, not copies.
    std::vector<std::pair<cv::Mat, cv::Mat>> handed;  // as kept, and as it was
    std::ostringstream console;
    const RunOutputs outputs{console,
                             [&handed](const std::string&, const cv::Mat& image) {
                                 handed.emplace_back(image, image.clone());
                             },
                             {}};
    measureScan(smallScan(), outputs);
    ASSERT_EQ(handed.size(), 10u);
    for (std::size_t i = 0; i < handed.size(); ++i)
        EXPECT_EQ(cv::norm(handed[i].first, handed[i].second, cv::NORM_INF), 0) << "image " << i;
}

TEST(MeasureScan, OddSectionsAreStillMeasured) {
    cv::Mat twoSections;
    cv::hconcat(smallScan(), smallScan([](SectionScanParams& p) {
                    p.rotationDeg = 36;
                    p.seed = 2;
                }),
                twoSections);
    const std::vector<std::pair<std::string, cv::Mat>> scans{
        {"touching the border", smallScan([](SectionScanParams& p) {
             p.center = {95, 150};
         })},
        {"narrow crack", smallScan([](SectionScanParams& p) {
             p.crackWidth = 8;
             p.crackLength = 45;
         })},
        {"small hole", smallScan([](SectionScanParams& p) { p.holeRadius = 15; })},
        {"almost round", smallScan([](SectionScanParams& p) {
             p.hollowDepth = 0.01;
             p.cornerRounding = 1.0;
         })},
        {"straight sides", smallScan([](SectionScanParams& p) { p.flatHollows = true; })},
        {"two sections", twoSections},
    };
    for (const auto& [name, scan] : scans) {
        std::ostringstream console;
        const RunOutputs outputs{console, [](const std::string&, const cv::Mat&) {}, {}};
        try {
            const SectionMeasurements m = measureScan(scan, outputs).measurements;
            EXPECT_GT(m.sectionWidth, 2.0) << name;
            for (const double radius : m.angleRadii) EXPECT_GT(radius, 0.0) << name;
        } catch (const std::exception& error) {
            ADD_FAILURE() << name << ": " << error.what();
        }
    }
}
