#include "batch/thumbnail.h"

#include "scan_input/image_header.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The JPEG decoder can scale by 1/2, 1/4 or 1/8 for a fraction of the work; the thumbnail is
// still resampled from at least its own width.
cv::ImreadModes decodeMode(const std::optional<cv::Size>& size) {
    const int width = size ? size->width : 0;
    if (width >= 8 * THUMBNAIL_WIDTH) return cv::IMREAD_REDUCED_COLOR_8;
    if (width >= 4 * THUMBNAIL_WIDTH) return cv::IMREAD_REDUCED_COLOR_4;
    if (width >= 2 * THUMBNAIL_WIDTH) return cv::IMREAD_REDUCED_COLOR_2;
    return cv::IMREAD_COLOR;
}

// Empty when missing or unreadable. Checked first, since OpenCV warns on standard error about
// a missing file.
cv::Mat readReducedImage(const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return {};
    try {
        return cv::imread(path.string(), decodeMode(readImageSizeFromHeader(path)));
    } catch (const cv::Exception&) {
        return {};
    }
}

}  // namespace

bool makeThumbnail(const fs::path& scanFolder, const std::string& overview) {
    const fs::path thumbnail = scanFolder / THUMBNAIL_FILE;
    std::error_code error;
    const cv::Mat image = readReducedImage(scanFolder / overview);
    if (image.empty()) {
        fs::remove(thumbnail, error);
        return false;
    }
    cv::Mat small = image;
    if (image.cols > THUMBNAIL_WIDTH) {
        const int height = std::max(1, image.rows * THUMBNAIL_WIDTH / image.cols);
        cv::resize(image, small, cv::Size(THUMBNAIL_WIDTH, height), 0, 0, cv::INTER_AREA);
    }
    // Renamed into place, so the page never links a half-written thumbnail.
    const fs::path temporary = scanFolder / ("vignette.tmp-" + std::to_string(::getpid()) + ".jpg");
    bool written = false;
    try {
        written = cv::imwrite(temporary.string(), small, {cv::IMWRITE_JPEG_QUALITY, 85});
    } catch (const cv::Exception&) {
        written = false;
    }
    if (!written || std::rename(temporary.c_str(), thumbnail.c_str()) != 0) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

std::vector<ScanResult> withThumbnails(const fs::path& outFolder, std::vector<ScanResult> results,
                                       const FolderLayout& layout) {
    for (ScanResult& result : results) {
        if (!result.holds(layout.overview) || result.holds(THUMBNAIL_FILE)) continue;
        if (makeThumbnail(outFolder / result.scanName, layout.overview))
            result.files.push_back(THUMBNAIL_FILE);
    }
    return results;
}
