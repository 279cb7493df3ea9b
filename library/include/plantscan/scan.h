// Reading a scan as the programs read it.
#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace plantscan {

// The image at `path`, 8-bit with three channels in B, G, R order (a gray or 16-bit file is
// converted as cv::imread converts it). Throws UnreadableScanError for a missing file, a file
// that is not an image, and a JPEG that ends before its end (the decoder would fill the rest
// with gray).
cv::Mat readScan(const std::string& path);

}  // namespace plantscan
