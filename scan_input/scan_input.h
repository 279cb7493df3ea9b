// Reading a scan so that a damaged file is refused instead of measured.
#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace plantscan::input {

// True when the file is a JPEG (starts with FF D8) whose data ends before its end-of-image
// marker. The decoder fills the missing part with gray and only warns, so the measurement
// would be of another picture. Bytes after the end-of-image marker are allowed.
bool isTruncatedJpeg(const std::string& path);

// Why a scan could not be read: a missing file, one that is not an image (or cannot be read),
// a JPEG cut short; both of the first two when the system cannot tell.
enum class Unreadable { MISSING, NOT_AN_IMAGE, MISSING_OR_NOT_AN_IMAGE, TRUNCATED_JPEG };

// "impossible de lire « path » : " and the cause, in French.
std::string unreadableScanMessage(const std::string& path, Unreadable cause);
// The same with the cause found on the disk.
std::string unreadableScanMessage(const std::string& path);

// cv::imread(path, cv::IMREAD_COLOR), or an empty image for a truncated JPEG.
cv::Mat readScan(const std::string& path);

// OpenCV's own log lines ("[ WARN:0@0.005] ... imread_('x'): can't open/read file") come before
// the programs' messages and say less: each program silences them as it starts. The library
// leaves them to its callers.
void silenceImageLibraryLog();

}  // namespace plantscan::input
