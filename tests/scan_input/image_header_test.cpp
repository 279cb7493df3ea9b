#include "scan_input/image_header.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <vector>

using namespace plantscan::input;

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

namespace {

using Bytes = std::vector<unsigned char>;

std::string bigEndian(std::uint32_t value, int length) {
    std::string bytes;
    for (int i = length - 1; i >= 0; --i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::string littleEndian(std::uint32_t value, int length) {
    std::string bytes;
    for (int i = 0; i < length; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// A small JPEG whose JFIF segment states `units`, x and y.
std::string jfifJpeg(int units, int x, int y) {
    std::string jpeg = encoded(".jpg", cv::Mat(8, 8, CV_8UC1, cv::Scalar(90)));
    jpeg[13] = static_cast<char>(units);
    jpeg.replace(
        14, 4,
        bigEndian(static_cast<std::uint32_t>(x), 2) + bigEndian(static_cast<std::uint32_t>(y), 2));
    return jpeg;
}

// An EXIF segment (little-endian TIFF block) with XResolution, YResolution as fractions and,
// unless 0, ResolutionUnit.
std::string exifSegment(std::uint32_t x, std::uint32_t xDenominator, std::uint32_t y, int unit) {
    const int entries = unit != 0 ? 3 : 2;
    const std::uint32_t rationals = 8 + 2 + 12 * entries + 4;
    std::string tiff = "II" + littleEndian(42, 2) + littleEndian(8, 4) + littleEndian(entries, 2);
    tiff +=
        littleEndian(282, 2) + littleEndian(5, 2) + littleEndian(1, 4) + littleEndian(rationals, 4);
    tiff += littleEndian(283, 2) + littleEndian(5, 2) + littleEndian(1, 4) +
            littleEndian(rationals + 8, 4);
    if (unit != 0) {
        tiff += littleEndian(296, 2) + littleEndian(3, 2) + littleEndian(1, 4) +
                littleEndian(static_cast<std::uint32_t>(unit), 4);
    }
    tiff += littleEndian(0, 4) + littleEndian(x, 4) + littleEndian(xDenominator, 4) +
            littleEndian(y, 4) + littleEndian(1, 4);
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    return "\xFF\xE1" + bigEndian(static_cast<std::uint32_t>(payload.size() + 2), 2) + payload;
}

std::optional<StatedResolution> resolutionOf(const std::string& bytes) {
    return readStatedResolution([&bytes](std::uint64_t offset, std::size_t count) {
        if (offset >= bytes.size()) return Bytes();
        const std::string part = bytes.substr(offset, count);
        return Bytes(part.begin(), part.end());
    });
}

// x and y in dots per inch, to a thousandth.
std::string dpi(const std::optional<StatedResolution>& stated) {
    if (!stated) return "none";
    char text[64];
    std::snprintf(text, sizeof text, "%.3f x %.3f", stated->x, stated->y);
    return text;
}

}  // namespace

TEST(StatedResolution, JfifDensityInInchesOrCentimetresAndExifWinning) {
    EXPECT_EQ(dpi(resolutionOf(jfifJpeg(1, 600, 600))), "600.000 x 600.000");
    EXPECT_EQ(dpi(resolutionOf(jfifJpeg(2, 236, 118))), "599.440 x 299.720");
    EXPECT_EQ(dpi(resolutionOf(jfifJpeg(0, 1, 1))), "none");  // an aspect ratio
    EXPECT_EQ(dpi(resolutionOf(jfifJpeg(1, 0, 0))), "none");

    // EXIF after JFIF: what the scanning software wrote last.
    const std::string jfif = jfifJpeg(1, 72, 72);
    const auto withExif = [&jfif](const std::string& segment) {
        return jfif.substr(0, 20) + segment + jfif.substr(20);
    };
    EXPECT_EQ(dpi(resolutionOf(withExif(exifSegment(1200, 1, 1200, 2)))), "1200.000 x 1200.000");
    EXPECT_EQ(dpi(resolutionOf(withExif(exifSegment(1200, 2, 300, 0)))), "600.000 x 300.000");
    EXPECT_EQ(dpi(resolutionOf(withExif(exifSegment(236, 1, 236, 3)))), "599.440 x 599.440");
    // No unit, or no denominator: EXIF states nothing, and JFIF's density stands.
    EXPECT_EQ(dpi(resolutionOf(withExif(exifSegment(600, 1, 600, 1)))), "72.000 x 72.000");
    EXPECT_EQ(dpi(resolutionOf(withExif(exifSegment(600, 0, 600, 2)))), "72.000 x 72.000");
}

TEST(StatedResolution, PngPhysInPixelsPerMetreAndTiffTags) {
    const std::string png = encoded(".png", cv::Mat(8, 8, CV_8UC1, cv::Scalar(90)));
    const auto withPhys = [&png](std::uint32_t x, std::uint32_t y, int unit) {
        const std::string chunk = bigEndian(9, 4) + "pHYs" + bigEndian(x, 4) + bigEndian(y, 4) +
                                  static_cast<char>(unit) + bigEndian(0, 4);
        return png.substr(0, 33) + chunk + png.substr(33);  // after IHDR
    };
    EXPECT_EQ(dpi(resolutionOf(withPhys(23622, 23622, 1))), "599.999 x 599.999");
    EXPECT_EQ(dpi(resolutionOf(withPhys(3, 2, 0))), "none");  // an aspect ratio
    EXPECT_EQ(dpi(resolutionOf(png)), "none");

    TestFolder folder("stated_resolution");
    const cv::Mat image(8, 8, CV_8UC3, cv::Scalar(10, 200, 30));
    ASSERT_TRUE(cv::imwrite(
        (folder.path() / "inch.tif").string(), image,
        {cv::IMWRITE_TIFF_RESUNIT, 2, cv::IMWRITE_TIFF_XDPI, 600, cv::IMWRITE_TIFF_YDPI, 300}));
    ASSERT_TRUE(cv::imwrite(
        (folder.path() / "cm.tif").string(), image,
        {cv::IMWRITE_TIFF_RESUNIT, 3, cv::IMWRITE_TIFF_XDPI, 472, cv::IMWRITE_TIFF_YDPI, 472}));
    EXPECT_EQ(dpi(readStatedResolution(folder.path() / "inch.tif")), "600.000 x 300.000");
    EXPECT_EQ(dpi(readStatedResolution(folder.path() / "cm.tif")), "1198.880 x 1198.880");
}

TEST(StatedResolution, FlaggedWhenCredibleAndMoreThanOnePercentAway) {
    const auto differs = [](double x) { return resolutionDiffers({x, x}, Dpi{1200}); };
    EXPECT_TRUE(differs(600));
    EXPECT_TRUE(differs(2400));
    EXPECT_FALSE(differs(1200));
    EXPECT_FALSE(differs(1188));  // 1 % below
    EXPECT_TRUE(differs(1187.9));
    EXPECT_FALSE(differs(1198.88));  // 472 dots per centimetre
    // What scanners write whatever the scan, and what no scanner does.
    for (const double x : {72.0, 96.0, 149.0, 9601.0}) EXPECT_FALSE(differs(x)) << x;
    EXPECT_TRUE(differs(150));
    EXPECT_TRUE(differs(9600));
    // The stated x decides; a different y only shows in the warning.
    EXPECT_FALSE(resolutionDiffers({1200, 600}, Dpi{1200}));
    EXPECT_TRUE(resolutionDiffers({600, 1200}, Dpi{1200}));
}

TEST(Dpi, AWholeNumberFromOneTo100000OnEveryCommandLineWrittenWithEveryDigit) {
    EXPECT_EQ(parseDpi("600"), Dpi{600});
    EXPECT_EQ(parseDpi("1"), Dpi{1});
    EXPECT_EQ(parseDpi("100000"), Dpi{100000});
    for (const char* refused : {"", "0", "100001", "600.5", "600,5", "1e3", "-600", "+600", " 600",
                                "600 ", "0x258", "99999999999999999999"})
        EXPECT_FALSE(parseDpi(refused)) << refused;
    EXPECT_EQ(dpiText(Dpi{600}), "600");
    // As an older version may have recorded it.
    EXPECT_EQ(dpiText(Dpi{600.5}), "600.5");
}
