// What a scan's header says, read without decoding the pixels: its size, and the resolution it
// was scanned at.
#pragma once

#include "scan_input/resolution.h"

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace plantscan::input {

// Up to `count` bytes from `offset` (fewer at the end of the data).
using ByteReader =
    std::function<std::vector<unsigned char>(std::uint64_t offset, std::size_t count)>;

// Width and height from the header (PNG, JPEG, BMP, TIFF); nothing when the header is not one
// of these or is damaged.
std::optional<cv::Size> readImageSizeFromHeader(const ByteReader& read);
std::optional<cv::Size> readImageSizeFromHeader(const std::filesystem::path& path);

// Width times height, without overflow.
inline std::uint64_t pixelCount(cv::Size size) {
    return static_cast<std::uint64_t>(size.width) * static_cast<std::uint64_t>(size.height);
}

// JPEG: JFIF density (units 1 per inch, 2 per centimetre; 0 is an aspect ratio, no resolution)
// and EXIF XResolution / YResolution (ResolutionUnit 2 or absent inch, 3 centimetre, 1 none),
// EXIF winning where both are stated; PNG: pHYs in pixels per metre; TIFF: XResolution /
// YResolution. Nothing when none is stated, or a denominator is 0. A missing y is x.
std::optional<StatedResolution> readStatedResolution(const ByteReader& read);
std::optional<StatedResolution> readStatedResolution(const std::filesystem::path& path);

}  // namespace plantscan::input
