#include "scan_input/image_header.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <vector>

namespace fs = std::filesystem;
using test_support::TestFolder;
using test_support::writeBytes;

namespace {

std::string encoded(const std::string& extension, const cv::Mat& image) {
    std::vector<uchar> bytes;
    EXPECT_TRUE(cv::imencode(extension, image, bytes));
    return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(ImageHeader, GivesTheSizeOfEveryFormatWithoutDecoding) {
    TestFolder folder("image_header");
    const cv::Mat image(23, 37, CV_8UC3, cv::Scalar(10, 200, 30));
    for (const char* name : {"s.png", "s.jpg", "s.bmp", "s.tif"}) {
        const fs::path path = folder.path() / name;
        ASSERT_TRUE(cv::imwrite(path.string(), image));
        EXPECT_EQ(readImageSizeFromHeader(path), cv::Size(37, 23)) << name;
    }
    // The header decides, not the extension.
    fs::rename(folder.path() / "s.png", folder.path() / "png.jpg");
    EXPECT_EQ(readImageSizeFromHeader(folder.path() / "png.jpg"), cv::Size(37, 23));

    writeBytes(folder.path() / "text.jpg", "not an image at all");
    writeBytes(folder.path() / "cut.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
    writeBytes(folder.path() / "empty.png", "");
    EXPECT_FALSE(readImageSizeFromHeader(folder.path() / "text.jpg"));
    EXPECT_FALSE(readImageSizeFromHeader(folder.path() / "cut.jpg"));
    EXPECT_FALSE(readImageSizeFromHeader(folder.path() / "empty.png"));
    EXPECT_FALSE(readImageSizeFromHeader(folder.path() / "missing.png"));
}

TEST(ImageHeader, AFrameHeaderInsideAnEarlierSegmentIsNotTheFrame) {
    // An application segment holding the bytes of a 4000 x 3000 frame header, as an embedded
    // thumbnail's would, before the image's own.
    const std::string jpeg = encoded(".jpg", cv::Mat(23, 37, CV_8UC1, cv::Scalar(90)));
    const std::string fake("\xFF\xC0\x00\x11\x08\x0B\xB8\x0F\xA0\x03", 10);
    const std::string segment =
        std::string("\xFF\xE1\x00", 3) + static_cast<char>(2 + fake.size()) + fake;
    const std::string bytes = jpeg.substr(0, 2) + segment + jpeg.substr(2);
    const auto reader = [&bytes](std::uint64_t offset, std::size_t count) {
        if (offset >= bytes.size()) return std::vector<unsigned char>();
        const std::string part = bytes.substr(offset, count);
        return std::vector<unsigned char>(part.begin(), part.end());
    };
    EXPECT_EQ(readImageSizeFromHeader(reader), cv::Size(37, 23));
}
