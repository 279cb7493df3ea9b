#include "plantscan/outputs.h"

#include "image_output/image_file.h"
#include "platform/system_errors.h"

#include <filesystem>
#include <utility>

namespace plantscan {

ImageWriter folderWriter(const std::string& folder, WriteFailure onFailure) {
    return
        [folder, onFailure = std::move(onFailure)](const std::string& name, const cv::Mat& image) {
            const std::optional<output::ImageWriteFailure> failure =
                output::writeImageFile(folder, name, image);
            if (!failure || !onFailure) return;
            // As errno, on Windows too.
            const std::error_condition cause = platform::portableCondition(failure->error);
            onFailure(folder.empty() ? name : (std::filesystem::path(folder) / name).string(),
                      cause.category() == std::generic_category() ? cause.value()
                                                                  : failure->error.value());
        };
}

}  // namespace plantscan
