#include "scan_input/scan_input.h"

#include <opencv2/imgcodecs.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace {

constexpr unsigned char MARKER = 0xFF;
constexpr unsigned char START_OF_IMAGE = 0xD8;
constexpr unsigned char END_OF_IMAGE = 0xD9;

// Markers that stand alone, without a length field: TEM and the restart markers RST0 to RST7.
bool isStandalone(unsigned char code) { return code == 0x01 || (code >= 0xD0 && code <= 0xD7); }

// Position of the next marker's FF at or after `pos`, skipping entropy-coded data, where FF 00
// is a stuffed data byte and a restart marker belongs to the data; `bytes.size()` if none.
std::size_t findNextMarker(const std::vector<unsigned char>& bytes, std::size_t pos) {
    for (; pos + 1 < bytes.size(); ++pos) {
        if (bytes[pos] != MARKER) continue;
        const unsigned char code = bytes[pos + 1];
        if (code != 0x00 && code != MARKER && !(code >= 0xD0 && code <= 0xD7)) return pos;
    }
    return bytes.size();
}

// Walks the segments by their lengths, so that an FF D9 inside one (an embedded thumbnail)
// does not count, and reports whether the image's own end-of-image marker is reached.
bool reachesEndOfImage(const std::vector<unsigned char>& bytes) {
    std::size_t pos = 2;
    while (true) {
        pos = findNextMarker(bytes, pos);
        if (pos >= bytes.size()) return false;
        const unsigned char code = bytes[pos + 1];
        pos += 2;
        if (code == END_OF_IMAGE) return true;
        if (isStandalone(code)) continue;
        if (pos + 2 > bytes.size()) return false;
        const std::size_t length = (std::size_t{bytes[pos]} << 8) | bytes[pos + 1];
        if (length < 2 || pos + length > bytes.size()) return false;
        // A scan header is followed by its entropy-coded data, which findNextMarker skips.
        pos += length;
    }
}

}  // namespace

bool isTruncatedJpeg(const std::string& path) {
    // A folder or a device is not a scan; the decoder refuses it on its own.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size < 2) return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    // istream::read turns a read error into a state, where a stream buffer iterator throws.
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!file || bytes[0] != MARKER || bytes[1] != START_OF_IMAGE) return false;
    return !reachesEndOfImage(bytes);
}

cv::Mat readScan(const std::string& path) {
    if (isTruncatedJpeg(path)) return cv::Mat();
    return cv::imread(path, cv::IMREAD_COLOR);
}
