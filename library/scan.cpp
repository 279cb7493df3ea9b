#include "plantscan/scan.h"

#include "library/boundary.h"
#include "plantscan/errors.h"
#include "scan_input/scan_input.h"

#include <opencv2/imgcodecs.hpp>

#include <filesystem>
#include <system_error>

namespace plantscan {

cv::Mat readScan(const std::string& path) {
    using Cause = UnreadableScanError::Cause;
    // Settled before the decoder, which would log its own warning on standard error.
    std::error_code error;
    if (!std::filesystem::exists(path, error)) throw UnreadableScanError(path, Cause::MISSING);
    if (!std::filesystem::is_regular_file(path, error))
        throw UnreadableScanError(path, Cause::NOT_AN_IMAGE);
    if (isTruncatedJpeg(path)) throw UnreadableScanError(path, Cause::TRUNCATED_JPEG);
    cv::Mat image;
    try {
        image = cv::imread(path, cv::IMREAD_COLOR);
    } catch (...) {
        detail::rethrowAsLibraryError("lecture de l'image", detail::Language::FRENCH);
    }
    if (image.empty()) throw UnreadableScanError(path, Cause::NOT_AN_IMAGE);
    return image;
}

}  // namespace plantscan
