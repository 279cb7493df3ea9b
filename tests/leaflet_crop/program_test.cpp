// The program run as a child process in a fresh folder, as a user runs it.
#include "platform/paths.h"
#include "support/run_program.h"
#include "support/test_files.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace plantscan::platform;
using namespace plantscan::tools;

namespace fs = std::filesystem;
using namespace test_support;

namespace {

const std::string kVersionLine = "opencv version : " + std::to_string(CV_MAJOR_VERSION) + "." +
                                 std::to_string(CV_MINOR_VERSION) + "\n";

class LeafletCropProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(root_.path().empty());
        fs::create_directories(work_);
        fs::create_directories(scripts_);
    }

    // Runs the program in the work folder; PATH holds only the scripts folder, so "update.bat"
    // is found only when a test puts one there.
    RunResult run(const std::vector<std::string>& arguments, RunOptions options = {}) const {
        options.folder = work_;
        options.environment.emplace_back("PATH", scripts_.string());
        return runProgram(LEAFLET_CROP_BINARY, arguments, options);
    }

    // Read by sh on Linux (which takes a file without "#!" as its own script, and says on
    // standard error that it has no "@echo") and by cmd.exe on Windows alike.
    void writeScript(const std::string& body) const {
        const fs::path script = scripts_ / "update.bat";
        std::ofstream(script, std::ios::binary) << "@echo off\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
    }

    std::vector<std::string> filesInWork() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(work_))
            names.push_back(fs::relative(entry.path(), work_).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TestFolder root_{"leaflet_crop"};
    fs::path work_ = root_.path() / "work", scripts_ = root_.path() / "scripts";
};

// Generated scans: light leaves of known length and width on a dark background, with specks.
LeafletScanParams scanWithLeaves(std::vector<Leaf> leaves) {
    LeafletScanParams params;
    params.width = 640;
    params.height = 520;
    params.specks = 12;
    params.seed = 12345;
    params.leaves = std::move(leaves);
    return params;
}

const LeafletScanParams kThreeLeaves = scanWithLeaves(
    {{{160, 130}, 240, 90, 25}, {{470, 180}, 230, 95, -70}, {{250, 380}, 260, 100, 90}});

}  // namespace

TEST_F(LeafletCropProgram, CropsEveryLeafletOfTheDefaultInput) {
    ASSERT_TRUE(cv::imwrite((work_ / "leaflet.jpg").string(), makeLeafletScan(kThreeLeaves)));
    const RunResult result = run({});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kVersionLine);
    EXPECT_NE(result.err.find("update.bat"), std::string::npos)
        << "the shell names the missing script";

    EXPECT_EQ(filesInWork(),
              (std::vector<std::string>{"PETALES", "PETALES/leaflet.jpg_0.jpg",
                                        "PETALES/leaflet.jpg_1.jpg", "PETALES/leaflet.jpg_2.jpg",
                                        "bw.jpg", "drawing.jpg", "gray.bmp", "leaflet.jpg"}));
    // Written in this order.
    const std::vector<std::string> order = {"gray.bmp",
                                            "bw.jpg",
                                            "PETALES/leaflet.jpg_0.jpg",
                                            "PETALES/leaflet.jpg_1.jpg",
                                            "PETALES/leaflet.jpg_2.jpg",
                                            "drawing.jpg"};
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_LE(fs::last_write_time(work_ / order[i - 1]), fs::last_write_time(work_ / order[i]))
            << order[i];

    // Each crop is its leaf's length and width with 15 pixels of margin all round, long side first.
    std::vector<cv::Size> leafSizes, cropSizes;
    for (const Leaf& leaf : kThreeLeaves.leaves)
        leafSizes.emplace_back(cvRound(leaf.length) + 30, cvRound(leaf.width) + 30);
    for (int i = 0; i < 3; ++i) {
        const cv::Mat crop =
            cv::imread((work_ / ("PETALES/leaflet.jpg_" + std::to_string(i) + ".jpg")).string());
        ASSERT_FALSE(crop.empty());
        EXPECT_GE(std::min(crop.cols, crop.rows), 30);
        cropSizes.emplace_back(std::max(crop.cols, crop.rows), std::min(crop.cols, crop.rows));
    }
    // Which leaflet comes first is the outline order's business; the sizes must all be there.
    for (const cv::Size& leaf : leafSizes) {
        const bool matched =
            std::any_of(cropSizes.begin(), cropSizes.end(), [&](const cv::Size& crop) {
                return std::abs(crop.width - leaf.width) <= 3 &&
                       std::abs(crop.height - leaf.height) <= 3;
            });
        EXPECT_TRUE(matched) << "no crop for a leaflet of " << leaf << ", crops " << cropSizes[0]
                             << " " << cropSizes[1] << " " << cropSizes[2];
    }

    const cv::Mat gray = cv::imread((work_ / "gray.bmp").string(), cv::IMREAD_UNCHANGED);
    EXPECT_EQ(gray.type(), CV_8UC1);
    EXPECT_EQ(gray.size(), cv::Size(640, 520));
    const cv::Mat drawing = cv::imread((work_ / "drawing.jpg").string(), cv::IMREAD_UNCHANGED);
    EXPECT_EQ(drawing.type(), CV_8UC3);
    EXPECT_EQ(drawing.size(), cv::Size(640, 520));
}

TEST_F(LeafletCropProgram, RunsUpdateBatFirstAndIgnoresItsOutcome) {
    ASSERT_TRUE(cv::imwrite((work_ / "scan.png").string(), makeLeafletScan(kThreeLeaves)));
    writeScript("echo update ran\necho > updated\nexit 7");  // PATH has no touch
    const RunResult result = run({"scan.png", "ignored.png"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "update ran\n" + kVersionLine);
    EXPECT_TRUE(fs::exists(work_ / "updated"));
    EXPECT_TRUE(fs::exists(work_ / "PETALES/scan.png_2.jpg"));
    EXPECT_FALSE(fs::exists(work_ / "PETALES/scan.png_3.jpg"));
}

TEST_F(LeafletCropProgram, UnreadableInputPrintsTheMessageAndReturnsMinusOne) {
    std::ofstream(work_ / "not_an_image.jpg") << "plain text";
    for (const std::string& path :
         {std::string("x.png"), std::string("not_an_image.jpg"), std::string()}) {
        const RunResult result = run({path});
        EXPECT_EQ(result.status, exitStatusFor(-1)) << path;
        EXPECT_EQ(result.out, kVersionLine + "Cannot read the image: " + path + "\n");
    }
    EXPECT_EQ(filesInWork(), std::vector<std::string>{"not_an_image.jpg"});
}

TEST_F(LeafletCropProgram, ScanWithoutLeafletsWritesTheThreeImagesOnly) {
    ASSERT_TRUE(cv::imwrite((work_ / "leaflet.jpg").string(), makeLeafletScan(scanWithLeaves({}))));
    const RunResult result = run({});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kVersionLine);
    EXPECT_EQ(filesInWork(),
              (std::vector<std::string>{"bw.jpg", "drawing.jpg", "gray.bmp", "leaflet.jpg"}));
}

TEST_F(LeafletCropProgram, OutlineOf450IsNotCroppedAndOneJustLongerIs) {
    cv::Mat scan(300, 400, CV_8UC3, cv::Scalar(20, 20, 20));
    // 101 x 126 pixels: outline 450. The second has one more pixel on its top edge.
    cv::rectangle(scan, cv::Rect(20, 20, 101, 126), cv::Scalar(200, 200, 200), cv::FILLED);
    cv::rectangle(scan, cv::Rect(220, 120, 101, 126), cv::Scalar(200, 200, 200), cv::FILLED);
    scan.at<cv::Vec3b>(119, 260) = cv::Vec3b(200, 200, 200);
    ASSERT_TRUE(cv::imwrite((work_ / "scan.png").string(), scan));
    const RunResult result = run({"scan.png"});
    EXPECT_EQ(result.status, 0) << result.err;
    ASSERT_TRUE(fs::exists(work_ / "PETALES/scan.png_0.jpg"));
    EXPECT_FALSE(fs::exists(work_ / "PETALES/scan.png_1.jpg"));
    // The longer one's box: its outline spans 100 x 126 pixels, plus 30.
    const cv::Mat crop = cv::imread((work_ / "PETALES/scan.png_0.jpg").string());
    EXPECT_EQ(std::max(crop.cols, crop.rows), 156);
    EXPECT_EQ(std::min(crop.cols, crop.rows), 130);
}

TEST_F(LeafletCropProgram, InputInAFolderGetsItsFolderUnderPetales) {
    fs::create_directories(work_ / "scans");
    ASSERT_TRUE(cv::imwrite((work_ / "scans/a.jpg").string(), makeLeafletScan(kThreeLeaves)));
    const RunResult result = run({"scans/a.jpg"});
    EXPECT_EQ(result.status, 0) << result.err;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(
            fs::is_regular_file(work_ / ("PETALES/scans/a.jpg_" + std::to_string(i) + ".jpg")))
            << i;
}

TEST_F(LeafletCropProgram, AFullPathWithAnyCharactersGetsItsCropsUnderPetales) {
    const fs::path scans = root_.path() / fs::u8path("feuilles été ł");
    fs::create_directories(scans);
    const fs::path scan = scans / fs::u8path("scan ł.png");
    std::vector<uchar> png;
    ASSERT_TRUE(cv::imencode(".png", makeLeafletScan(kThreeLeaves), png));
    writeBytes(scan, std::string(png.begin(), png.end()));
    const RunResult result = run({scan.u8string()});
    EXPECT_EQ(result.status, 0) << result.err;
    // The path as typed, a Windows drive without its colon.
    for (int i = 0; i < 3; ++i) {
        const std::string crop =
            "PETALES/" + nameUnderFolder(scan.u8string()) + "_" + std::to_string(i) + ".jpg";
        EXPECT_TRUE(fs::is_regular_file(work_ / fs::u8path(crop))) << crop;
    }
}

TEST_F(LeafletCropProgram, FailedWritesAreNamedInOrderTheRunGoesOnAndEndsWith3) {
    ASSERT_TRUE(cv::imwrite((work_ / "leaflet.jpg").string(), makeLeafletScan(kThreeLeaves)));
    // Folders where the images should go, and a plain file named PETALES: every write fails.
    for (const char* name : {"gray.bmp", "bw.jpg", "drawing.jpg"})
        fs::create_directory(work_ / name);
    std::ofstream(work_ / "PETALES") << "not a folder";
    const RunResult result = run({});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.out, kVersionLine);

    const std::vector<std::string> expected = {"gray.bmp",
                                               "bw.jpg",
                                               "PETALES/leaflet.jpg_0.jpg",
                                               "PETALES/leaflet.jpg_1.jpg",
                                               "PETALES/leaflet.jpg_2.jpg",
                                               "drawing.jpg"};
    std::vector<std::string> named;
    for (const std::string& line : splitLines(result.err))
        if (line.rfind("Cannot write \"", 0) == 0)
            named.push_back(line.substr(14, line.find('"', 14) - 14));
    EXPECT_EQ(named, expected) << result.err;
}

TEST_F(LeafletCropProgram, OpenCvErrorIsReportedWithStatus4) {
    ASSERT_TRUE(cv::imwrite((work_ / "leaflet.jpg").string(), makeLeafletScan(kThreeLeaves)));
    // OpenCV refuses to decode an image larger than this many pixels.
    RunOptions options;
    options.environment = {{"OPENCV_IO_MAX_IMAGE_PIXELS", "1000"}};
    const RunResult result = run({}, options);
    EXPECT_EQ(result.status, 4);
    EXPECT_EQ(result.out, kVersionLine);
    EXPECT_NE(result.err.find("OpenCV error while processing \"leaflet.jpg\""), std::string::npos)
        << result.err;
}
