// Reading a scan so that a damaged file, or one too large for memory, is refused instead of
// measured.
#pragma once

#include "resources/memory_need.h"

#include <opencv2/core.hpp>

#include <ostream>
#include <string>

// True when the file is a JPEG (starts with FF D8) whose data ends before its end-of-image
// marker. The decoder fills the missing part with gray and only warns, so the measurement
// would be of another picture. Bytes after the end-of-image marker are allowed.
bool isTruncatedJpeg(const std::string& path);

// cv::imread(path, cv::IMREAD_COLOR), or an empty image for a truncated JPEG.
cv::Mat readScan(const std::string& path);

// Refuses, before it is decoded, a scan whose header tells it will not fit in the memory this
// process may use (so that a memory limit does not kill the run midway): says why on `errors`
// and returns true. A scan whose header tells no size is not refused here.
bool refuseScanTooLarge(const std::string& path, const MemoryNeed& need, Language language,
                        std::ostream& errors);
