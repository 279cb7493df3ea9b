#include "plantscan/scan.h"

#include "library/boundary.h"
#include "plantscan/errors.h"
#include "platform/paths.h"
#include "scan_input/scan_input.h"

#include <filesystem>
#include <system_error>

namespace plantscan {

cv::Mat readScan(const std::string& path) {
    using Cause = UnreadableScanError::Cause;
    // Settled before the decoder, which would log its own warning on standard error.
    std::error_code error;
    const std::filesystem::path file = platform::pathFromUtf8(path);
    if (!std::filesystem::exists(file, error)) throw UnreadableScanError(path, Cause::MISSING);
    if (!std::filesystem::is_regular_file(file, error))
        throw UnreadableScanError(path, Cause::NOT_AN_IMAGE);
    cv::Mat image;
    try {
        image = input::readScan(path);
    } catch (...) {
        detail::rethrowAsLibraryError("lecture de l'image", detail::Language::FRENCH);
    }
    if (!image.empty()) return image;
    throw UnreadableScanError(
        path, input::isTruncatedJpeg(path) ? Cause::TRUNCATED_JPEG : Cause::NOT_AN_IMAGE);
}

}  // namespace plantscan
