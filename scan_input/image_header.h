// The size of a scan read from its header, without decoding the pixels.
#pragma once

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

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
