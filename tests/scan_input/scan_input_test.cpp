#include "scan_input/scan_input.h"
#include "support/test_scans.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace plantscan::input;
using namespace plantscan::tools;

namespace fs = std::filesystem;

namespace {

std::string jpegBytes(const cv::Mat& image) {
    std::vector<uchar> bytes;
    EXPECT_TRUE(cv::imencode(".jpg", image, bytes));
    return {bytes.begin(), bytes.end()};
}

std::string smallScanJpeg() {
    return jpegBytes(makeSectionScan(test_support::centredSection(120, 90, 35)));
}

class ScanFile : public ::testing::Test {
protected:
    std::string write(const std::string& bytes) {
        std::ofstream file(path_, std::ios::binary);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path_.string();
    }
    void TearDown() override { fs::remove(path_); }

private:
    fs::path path_ = fs::path(::testing::TempDir()) /
                     (std::string("scan_input_") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".jpg");
};

TEST_F(ScanFile, CompleteJpegIsReadAsOpenCvReadsIt) {
    const std::string path = write(smallScanJpeg());
    EXPECT_FALSE(isTruncatedJpeg(path));
    const cv::Mat scan = readScan(path);
    const cv::Mat expected = cv::imread(path, cv::IMREAD_COLOR);
    ASSERT_FALSE(scan.empty());
    EXPECT_EQ(scan.type(), CV_8UC3);
    EXPECT_EQ(cv::norm(scan, expected, cv::NORM_INF), 0.0);
}

TEST_F(ScanFile, JpegCutAnywhereBeforeItsEndMarkerIsRefused) {
    const std::string whole = smallScanJpeg();
    // In the headers, in the middle of the entropy-coded data, and just before FF D9.
    for (std::size_t length :
         {std::size_t{2}, std::size_t{100}, whole.size() / 2, whole.size() - 2, whole.size() - 1}) {
        const std::string path = write(whole.substr(0, length));
        EXPECT_TRUE(isTruncatedJpeg(path)) << "cut at " << length << " of " << whole.size();
        EXPECT_TRUE(readScan(path).empty()) << "cut at " << length;
    }
}

TEST_F(ScanFile, BytesAfterTheEndMarkerAreAllowed) {
    const std::string whole = smallScanJpeg();
    for (const std::string& trailer :
         {std::string(4096, '\0'), std::string("\r\n"), std::string("\xFF\xD8\xFF\xE0 junk", 10)}) {
        const std::string path = write(whole + trailer);
        EXPECT_FALSE(isTruncatedJpeg(path));
        EXPECT_FALSE(readScan(path).empty());
    }
}

TEST_F(ScanFile, EndMarkerInsideAnEarlierSegmentDoesNotCount) {
    // An application segment holding FF D9, as an embedded thumbnail does, then the image cut.
    const std::string whole = smallScanJpeg();
    const std::string segment =
        std::string("\xFF\xE1\x00\x09thumb", 9) + std::string("\xFF\xD9", 2);
    const std::string withThumbnail = whole.substr(0, 2) + segment + whole.substr(2);
    EXPECT_FALSE(isTruncatedJpeg(write(withThumbnail)));
    EXPECT_TRUE(isTruncatedJpeg(write(withThumbnail.substr(0, withThumbnail.size() / 2))));
}

TEST_F(ScanFile, OtherFilesAreLeftToTheDecoder) {
    EXPECT_FALSE(isTruncatedJpeg(write("")));
    EXPECT_FALSE(isTruncatedJpeg(write("not an image")));
    std::vector<uchar> png;
    ASSERT_TRUE(cv::imencode(".png", cv::Mat(4, 4, CV_8UC3, cv::Scalar(1, 2, 3)), png));
    EXPECT_FALSE(isTruncatedJpeg(write(std::string(png.begin(), png.end()))));
    EXPECT_FALSE(isTruncatedJpeg((fs::path(::testing::TempDir()) / "no such scan.jpg").string()));
    // A folder cannot be read as a file at all; the question must not throw.
    EXPECT_FALSE(isTruncatedJpeg(::testing::TempDir()));
    EXPECT_TRUE(readScan(::testing::TempDir()).empty());
}

TEST_F(ScanFile, OnlyAJpegIsReadWhole) {
    // 64 GiB of holes after a PNG signature: reading it all first would exhaust memory.
    const std::string path = write("\x89PNG\r\n\x1a\n");
    std::error_code error;
    fs::resize_file(path, std::uintmax_t{64} << 30, error);
    // Wine on some file systems refuses a file that large; Linux runs the check everywhere.
    if (error) GTEST_SKIP() << "no 64 GiB file here: " << error.message();
    EXPECT_FALSE(isTruncatedJpeg(path));
}

}  // namespace

TEST_F(ScanFile, GrayDeepAndTransparentPngsGiveTheSameColourScan) {
    cv::Mat scan;
    cv::cvtColor(makeSectionScan(test_support::centredSection(120, 90, 35)), scan,
                 cv::COLOR_BGR2GRAY);
    cv::cvtColor(scan, scan, cv::COLOR_GRAY2BGR);  // a colour scan that a gray PNG holds whole
    cv::Mat gray, deep, transparent;
    cv::cvtColor(scan, gray, cv::COLOR_BGR2GRAY);
    scan.convertTo(deep, CV_16UC3, 257.0);
    cv::cvtColor(scan, transparent, cv::COLOR_BGR2BGRA);
    for (const cv::Mat& encoded : {gray, deep, transparent}) {
        std::vector<uchar> bytes;
        ASSERT_TRUE(cv::imencode(".png", encoded, bytes));
        const cv::Mat read = readScan(write({bytes.begin(), bytes.end()}));
        ASSERT_EQ(read.type(), CV_8UC3) << "channels " << encoded.channels();
        EXPECT_EQ(cv::norm(read, scan, cv::NORM_INF), 0.0) << "channels " << encoded.channels();
    }
}
