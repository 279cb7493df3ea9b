#include "image_file.h"

#include "platform/paths.h"

#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

std::optional<ImageWriteFailure> writeImageFile(const std::string& fileName, const cv::Mat& image) {
    const std::filesystem::path folder = pathFromUtf8(fileName).parent_path();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return ImageWriteFailure{utf8FromPath(folder), error.message()};
    }
    try {
        errno = 0;
        if (cv::imwrite(fileName, image)) return std::nullopt;
        return ImageWriteFailure{"", errno != 0 ? std::strerror(errno) : ""};
    } catch (const cv::Exception& e) {
        return ImageWriteFailure{"", e.what()};
    }
}
