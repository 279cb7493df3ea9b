#include "page/thumbnail.h"

#include "platform/files.h"
#include "platform/machine.h"
#include "platform/paths.h"
#include "scan_input/image_header.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>

namespace plantscan::page {

namespace fs = std::filesystem;

namespace {

// The JPEG decoder can scale by 1/2, 1/4 or 1/8 for a fraction of the work; the thumbnail is
// still resampled from at least `side` pixels along the side it is fitted to (the width, or
// the longer side).
cv::ImreadModes decodeMode(const std::optional<cv::Size>& size, int side, bool widthOnly) {
    const int along = !size ? 0 : widthOnly ? size->width : std::max(size->width, size->height);
    if (along >= 8 * side) return cv::IMREAD_REDUCED_COLOR_8;
    if (along >= 4 * side) return cv::IMREAD_REDUCED_COLOR_4;
    if (along >= 2 * side) return cv::IMREAD_REDUCED_COLOR_2;
    return cv::IMREAD_COLOR;
}

// Empty when missing or unreadable. Checked first, since OpenCV warns on standard error about
// a missing file.
cv::Mat readReducedImage(const fs::path& path, int side, bool widthOnly) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return {};
    try {
        return cv::imread(platform::utf8FromPath(path),
                          decodeMode(input::readImageSizeFromHeader(path), side, widthOnly));
    } catch (const cv::Exception&) {
        return {};
    }
}

// Each piece's number, centred where it lies, white edged with black to read on the leaflets
// and on the ground alike; `scale`: from the picture's pixels to the thumbnail's.
void writeNumbers(cv::Mat& thumbnail, const std::vector<stored::PiecePlace>& places, double scale) {
    constexpr int FONT = cv::FONT_HERSHEY_SIMPLEX;
    constexpr double FONT_SCALE = 0.5;
    for (std::size_t n = 0; n < places.size(); ++n) {
        const std::string number = std::to_string(n);
        int baseline = 0;
        const cv::Size size = cv::getTextSize(number, FONT, FONT_SCALE, 2, &baseline);
        // Kept whole within the thumbnail, for a piece at its edge.
        const int x = std::clamp(static_cast<int>(places[n].x * scale) - size.width / 2, 1,
                                 std::max(1, thumbnail.cols - size.width - 1));
        const int y = std::clamp(static_cast<int>(places[n].y * scale) + size.height / 2,
                                 size.height + 1, std::max(size.height + 1, thumbnail.rows - 2));
        cv::putText(thumbnail, number, {x, y}, FONT, FONT_SCALE, cv::Scalar(0, 0, 0), 4,
                    cv::LINE_AA);
        cv::putText(thumbnail, number, {x, y}, FONT, FONT_SCALE, cv::Scalar(255, 255, 255), 1,
                    cv::LINE_AA);
    }
}

// `picture` reduced to fit within `side` x `side`, or to `side` wide when `widthOnly`, into
// `thumbnail`, with the numbers of the pieces at `places` on it; an earlier thumbnail is removed
// when the picture cannot be read.
bool makeReduced(const fs::path& picture, const fs::path& thumbnail, int side, bool widthOnly,
                 const std::vector<stored::PiecePlace>& places = {}) {
    std::error_code error;
    const cv::Mat image = readReducedImage(picture, side, widthOnly);
    if (image.empty()) {
        fs::remove(thumbnail, error);
        return false;
    }
    cv::Mat small = image;
    const double scale = widthOnly ? static_cast<double>(side) / image.cols
                                   : static_cast<double>(side) / std::max(image.cols, image.rows);
    if (scale < 1) {
        const cv::Size size(std::max(1, static_cast<int>(image.cols * scale)),
                            std::max(1, static_cast<int>(image.rows * scale)));
        cv::resize(image, small, size, 0, 0, cv::INTER_AREA);
    }
    if (!places.empty()) {
        // The decoder may have read the picture reduced already.
        const std::optional<cv::Size> full = input::readImageSizeFromHeader(picture);
        small = small.clone();
        writeNumbers(small, places,
                     static_cast<double>(small.cols) / (full ? full->width : image.cols));
    }
    // Renamed into place, so the page never links a half-written thumbnail.
    fs::path temporary = thumbnail;
    temporary += ".tmp-" + std::to_string(platform::processId()) + ".jpg";
    bool written = false;
    try {
        written =
            cv::imwrite(platform::utf8FromPath(temporary), small, {cv::IMWRITE_JPEG_QUALITY, 85});
    } catch (const cv::Exception&) {
        written = false;
    }
    if (!written || !platform::replaceFile(temporary, thumbnail)) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace

bool makeThumbnail(const fs::path& scanFolder, const std::string& overview,
                   const std::vector<stored::PiecePlace>& places) {
    return makeReduced(scanFolder / overview, scanFolder / stored::THUMBNAIL_FILE, THUMBNAIL_WIDTH,
                       true, places);
}

void makePieceThumbnails(const fs::path& scanFolder, const std::string& scanName,
                         const stored::FolderLayout& layout) {
    if (layout.piecesFolder.empty()) return;
    std::error_code error;
    for (int n = 0;; ++n) {
        const fs::path piece = scanFolder / platform::pathFromUtf8(layout.pieceFile(scanName, n));
        if (!fs::is_regular_file(piece, error)) break;
        fs::create_directories(scanFolder / stored::PIECE_THUMBNAILS, error);
        makeReduced(piece, scanFolder / stored::pieceThumbnailFile(n), PIECE_THUMBNAIL_SIDE, false);
    }
}

std::vector<stored::ScanResult> withThumbnails(const fs::path& outFolder,
                                               std::vector<stored::ScanResult> results,
                                               const stored::FolderLayout& layout) {
    for (stored::ScanResult& result : results) {
        const fs::path folder = outFolder / platform::pathFromUtf8(result.scanName);
        if (result.holds(layout.overview) && !result.holds(stored::THUMBNAIL_FILE) &&
            makeThumbnail(folder, layout.overview, result.piecePlaces))
            result.files.push_back(stored::THUMBNAIL_FILE);
        for (int n = 0; !layout.piecesFolder.empty(); ++n) {
            const std::string piece = layout.pieceFile(result.scanName, n);
            if (!result.holds(piece)) break;
            const std::string thumbnail = stored::pieceThumbnailFile(n);
            if (result.holds(thumbnail)) continue;
            std::error_code error;
            fs::create_directories(folder / stored::PIECE_THUMBNAILS, error);
            if (makeReduced(folder / platform::pathFromUtf8(piece), folder / thumbnail,
                            PIECE_THUMBNAIL_SIDE, false))
                result.files.push_back(thumbnail);
        }
    }
    return results;
}

}  // namespace plantscan::page
