// What a call shows besides the value it returns: by default nothing is printed or written.
#pragma once

#include <opencv2/core.hpp>

#include <functional>
#include <ostream>
#include <string>

namespace plantscan {

// Receives each image a stage shows, under the file name the programs give it ("res.jpg"...).
using ImageWriter = std::function<void(const std::string& name, const cv::Mat& image)>;

struct Outputs {
    std::ostream* console = nullptr;  // the lines the programs print, as they print them
    ImageWriter writeImage;           // the images the programs write
};

// Hears of an image that could not be written: its path, and the errno of the failure (0 when
// the encoder gave none).
using WriteFailure = std::function<void(const std::string& path, int error)>;

// Writes each image with cv::imwrite into `folder` (the current folder when empty), which must
// exist; the folders a name holds ("PETALES/a.jpg_0.jpg") are made. A failed write does not
// throw: `onFailure` hears of it.
ImageWriter folderWriter(const std::string& folder, WriteFailure onFailure = {});

}  // namespace plantscan
