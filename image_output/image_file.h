// Writing an image file: the one way the programs and the library write theirs.
#pragma once

#include <opencv2/core.hpp>

#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace plantscan::output {

// Receives each image a stage shows, under its file name ("res.jpg"); the caller decides how it
// is written and what a failure means. A stage leaves an image as it is once handed over: the
// writer may keep it, not a copy, and write it later.
using ImageWriter = std::function<void(const std::string& name, const cv::Mat& image)>;

struct ImageWriteFailure {
    std::string folder;     // the folder that could not be made; empty when the write itself failed
    std::error_code error;  // errno, or the system's code for the folder; none when none was given
    std::string encoderMessage;  // OpenCV's, when its encoder threw
};

// Writes `image` with cv::imwrite as the UTF-8 `name` under `folder` (here when empty; it must
// exist), first making the folders `name` itself holds ("PETALES/a.jpg_0.jpg"), so that no
// image is lost to a missing one; what failed, if any.
std::optional<ImageWriteFailure> writeImageFile(const std::string& folder, const std::string& name,
                                                const cv::Mat& image);

}  // namespace plantscan::output
