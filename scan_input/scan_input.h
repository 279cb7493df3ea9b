// Reading a scan so that a damaged file is refused instead of measured.
#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace plantscan::input {

// True when the file is a JPEG (starts with FF D8) whose data ends before its end-of-image
// marker. The decoder fills the missing part with gray and only warns, so the measurement
// would be of another picture. Bytes after the end-of-image marker are allowed.
bool isTruncatedJpeg(const std::string& path);

// Why a scan could not be read: the library tells a missing file from one that is not an image,
// the programs say both at once.
enum class Unreadable { MISSING, NOT_AN_IMAGE, MISSING_OR_NOT_AN_IMAGE, TRUNCATED_JPEG };

// "impossible de lire « path » : " and the cause, in French.
std::string unreadableScanMessage(const std::string& path, Unreadable cause);
// The same with the cause the programs give: a JPEG cut short, or anything else.
std::string unreadableScanMessage(const std::string& path);

// cv::imread(path, cv::IMREAD_COLOR), or an empty image for a truncated JPEG.
cv::Mat readScan(const std::string& path);

}  // namespace plantscan::input
