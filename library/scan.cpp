#include "plantscan/scan.h"

#include "library/boundary.h"
#include "plantscan/errors.h"
#include "scan_input/scan_input.h"

#include <filesystem>
#include <system_error>

namespace plantscan {

cv::Mat readScan(const std::string& path) {
    cv::Mat image;
    try {
        image = ::readScan(path);
    } catch (...) {
        detail::rethrowAsLibraryError("lecture de l'image", detail::Language::FRENCH);
    }
    if (!image.empty()) return image;
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        throw UnreadableScanError(path, UnreadableScanError::Cause::MISSING);
    throw UnreadableScanError(path, isTruncatedJpeg(path)
                                        ? UnreadableScanError::Cause::TRUNCATED_JPEG
                                        : UnreadableScanError::Cause::NOT_AN_IMAGE);
}

}  // namespace plantscan
