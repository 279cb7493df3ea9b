// Where the library meets its callers: what it takes as a scan, and what it throws.
#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace plantscan::detail {

// The scan in B, G, R as the stages take it; a gray scan as cv::imread gives such a file in
// colour. Throws std::invalid_argument for anything but a non-empty 8-bit image with 1 or 3
// channels.
cv::Mat colourScan(const cv::Mat& scan);

// The language of the program whose messages a call gives.
enum class Language { FRENCH, ENGLISH };

// Called in a catch block: throws the exception being handled as one of the library's errors
// (a section error as NoSectionError, short memory as OutOfMemoryError, an OpenCV error as
// ImageLibraryError, naming `stage`). Anything else is rethrown as it is.
[[noreturn]] void rethrowAsLibraryError(const std::string& stage, Language language);

}  // namespace plantscan::detail
