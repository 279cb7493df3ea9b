// Writing an image file: the one way the programs and the library write theirs.
#pragma once

#include <opencv2/core.hpp>

#include <functional>
#include <optional>
#include <string>

namespace plantscan::output {

// Receives each image a stage shows, under its file name ("res.jpg"); the caller decides how it
// is written and what a failure means.
using ImageWriter = std::function<void(const std::string& name, const cv::Mat& image)>;

struct ImageWriteFailure {
    std::string folder;  // the folder that could not be made; empty when the write itself failed
    int error = 0;       // errno, or the system's code for the folder; 0 when none was given
    std::string cause;   // the system's words, or OpenCV's; empty when the encoder gave none
};

// Writes `image` with cv::imwrite as the UTF-8 `name` under `folder` (here when empty; it must
// exist), first making the folders `name` itself holds ("PETALES/a.jpg_0.jpg"), so that no
// image is lost to a missing one; what failed, if any.
std::optional<ImageWriteFailure> writeImageFile(const std::string& folder, const std::string& name,
                                                const cv::Mat& image);

}  // namespace plantscan::output
