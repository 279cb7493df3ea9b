#include "image_output/image_file.h"

#include "platform/paths.h"

#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace plantscan::output {

std::optional<ImageWriteFailure> writeImageFile(const std::string& folder, const std::string& name,
                                                const cv::Mat& image) {
    const std::filesystem::path base = platform::pathFromUtf8(folder);
    const std::filesystem::path own = platform::pathFromUtf8(name).parent_path();
    if (!own.empty()) {
        std::error_code error;
        std::filesystem::create_directories(base / own, error);
        if (error)
            return ImageWriteFailure{platform::utf8FromPath(own), error.value(), error.message()};
    }
    const std::string path =
        folder.empty() ? name : platform::utf8FromPath(base / platform::pathFromUtf8(name));
    errno = 0;
    try {
        if (cv::imwrite(path, image)) return std::nullopt;
        return ImageWriteFailure{"", errno, errno != 0 ? std::strerror(errno) : ""};
    } catch (const cv::Exception& e) {
        return ImageWriteFailure{"", errno, e.what()};
    }
}

}  // namespace plantscan::output
