#include "plantscan/outputs.h"

#include "image_output/image_file.h"

#include <filesystem>
#include <utility>

namespace plantscan {

ImageWriter folderWriter(const std::string& folder, WriteFailure onFailure) {
    return
        [folder, onFailure = std::move(onFailure)](const std::string& name, const cv::Mat& image) {
            const std::optional<output::ImageWriteFailure> failure =
                output::writeImageFile(folder, name, image);
            if (!failure || !onFailure) return;
            onFailure(folder.empty() ? name : (std::filesystem::path(folder) / name).string(),
                      failure->error);
        };
}

}  // namespace plantscan
