#include "plantscan/outputs.h"

#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <filesystem>
#include <utility>

namespace plantscan {

ImageWriter folderWriter(const std::string& folder, WriteFailure onFailure) {
    return
        [folder, onFailure = std::move(onFailure)](const std::string& name, const cv::Mat& image) {
            const std::string path =
                folder.empty() ? name : (std::filesystem::path(folder) / name).string();
            errno = 0;
            bool written = false;
            try {
                written = cv::imwrite(path, image);
            } catch (const cv::Exception&) {
                written = false;
            }
            if (!written && onFailure) onFailure(path, errno);
        };
}

}  // namespace plantscan
