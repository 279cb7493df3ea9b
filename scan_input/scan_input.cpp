#include "scan_input/scan_input.h"

#include "platform/paths.h"
#include "scan_input/jpeg_markers.h"

#include <opencv2/imgcodecs.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace plantscan::input {

bool isTruncatedJpeg(const std::string& path) {
    const std::filesystem::path filePath = platform::pathFromUtf8(path);
    // A folder or a device is not a scan; the decoder refuses it on its own.
    std::error_code error;
    if (!std::filesystem::is_regular_file(filePath, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(filePath, error);
    if (error || size < 2) return false;
    // istream::read turns a read error into a state, where a stream buffer iterator throws.
    std::ifstream file(filePath, std::ios::binary);
    // Only a JPEG is read whole: the first two bytes tell.
    std::vector<unsigned char> bytes(2);
    file.read(reinterpret_cast<char*>(bytes.data()), 2);
    if (!file || !startsAsJpeg(bytes.data(), bytes.size())) return false;
    bytes.resize(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data() + 2), static_cast<std::streamsize>(size - 2));
    if (!file) return false;
    const auto anySegment = [](const JpegSegment&) { return true; };
    return walkJpegSegments(bytes.data(), bytes.size(), anySegment) != JpegWalk::END_OF_IMAGE;
}

std::string unreadableScanMessage(const std::string& path, Unreadable cause) {
    const char* why = "fichier absent, illisible ou qui n'est pas une image";
    if (cause == Unreadable::MISSING) why = "fichier absent";
    if (cause == Unreadable::NOT_AN_IMAGE) why = "fichier illisible ou qui n'est pas une image";
    if (cause == Unreadable::TRUNCATED_JPEG)
        why = "fichier JPEG tronqué (il s'arrête avant sa fin)";
    return "impossible de lire « " + path + " » : " + why;
}

std::string unreadableScanMessage(const std::string& path) {
    return unreadableScanMessage(path, isTruncatedJpeg(path) ? Unreadable::TRUNCATED_JPEG
                                                             : Unreadable::MISSING_OR_NOT_AN_IMAGE);
}

cv::Mat readScan(const std::string& path) {
    if (isTruncatedJpeg(path)) return cv::Mat();
    return cv::imread(path, cv::IMREAD_COLOR);
}

}  // namespace plantscan::input
