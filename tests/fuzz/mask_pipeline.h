// The section pipeline after segmentation, run in memory on a mask decoded from raw bytes.
// Shared by the fuzz target and the regression tests of what it found.
#pragma once

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Bytes: columns of cells, rows of cells, cell size in pixels, flags, then one bit per cell
// (row by row, low bit first; missing bits are 0). Flag bit 0 closes the mask as the
// segmentation does. The image is at most 32 x 32 cells of 16 pixels.
cv::Mat decodeMask(const std::uint8_t* data, std::size_t size);

// The inverse of decodeMask for a mask already made of cells of `cellSize` pixels.
std::vector<std::uint8_t> encodeMask(const cv::Mat& mask, int cellSize, bool close);

// Outline, corners and hollows, measurements and the report text of `foreground` (section
// 255), writing no file. Returns the report, or throws SectionError when the shape cannot be
// measured; anything else escaping is a fault.
std::string measureMask(const cv::Mat& foreground);
