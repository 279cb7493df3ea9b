// Writing one of leaflet_crop's images, its folder made first, so that no crop is lost to it.
#pragma once

#include <opencv2/core.hpp>

#include <optional>
#include <string>

struct ImageWriteFailure {
    std::string folder;  // the folder that could not be made; empty when the write itself failed
    std::string cause;   // the system's words, or OpenCV's; empty when the encoder gave none
};

// Writes `image` to the UTF-8 `fileName`, creating its missing folders; what failed, if any.
std::optional<ImageWriteFailure> writeImageFile(const std::string& fileName, const cv::Mat& image);
