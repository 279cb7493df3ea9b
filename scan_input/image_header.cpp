#include "scan_input/image_header.h"

#include "scan_input/jpeg_markers.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t bigEndian(const unsigned char* b, int length) {
    std::uint32_t value = 0;
    for (int i = 0; i < length; ++i) value = (value << 8) | b[i];
    return value;
}

std::uint32_t littleEndian(const unsigned char* b, int length) {
    std::uint32_t value = 0;
    for (int i = length - 1; i >= 0; --i) value = (value << 8) | b[i];
    return value;
}

std::optional<cv::Size> makeSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    return cv::Size(static_cast<int>(width), static_cast<int>(height));
}

std::optional<cv::Size> pngSize(const Bytes& b) {
    static const unsigned char SIGNATURE[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() < 24 || !std::equal(SIGNATURE, SIGNATURE + 8, b.begin())) return std::nullopt;
    if (b[12] != 'I' || b[13] != 'H' || b[14] != 'D' || b[15] != 'R') return std::nullopt;
    return makeSize(bigEndian(&b[16], 4), bigEndian(&b[20], 4));
}

std::optional<cv::Size> bmpSize(const Bytes& b) {
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    // A negative height marks a top-down bitmap.
    const auto width = static_cast<std::int32_t>(littleEndian(&b[18], 4));
    const auto height = static_cast<std::int32_t>(littleEndian(&b[22], 4));
    return makeSize(width, height < 0 ? -static_cast<std::int64_t>(height) : height);
}

std::optional<cv::Size> jpegSize(const Bytes& b) {
    std::optional<cv::Size> size;
    walkJpegSegments(b.data(), b.size(), [&size](const JpegSegment& segment) {
        // Start-of-frame markers; C4, C8 and CC share the range but are not frames.
        const unsigned char m = segment.marker;
        if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) return true;
        if (segment.payloadSize >= 5) {
            size = makeSize(bigEndian(segment.payload + 3, 2), bigEndian(segment.payload + 1, 2));
        }
        return false;
    });
    return size;
}

// libtiff writes the first directory after the pixels, so it is read where it lies.
std::optional<cv::Size> tiffSize(const Bytes& b, const ByteReader& read) {
    if (b.size() < 8) return std::nullopt;
    const bool little = b[0] == 'I' && b[1] == 'I';
    if (!little && !(b[0] == 'M' && b[1] == 'M')) return std::nullopt;
    const auto number = [little](const unsigned char* at, int length) {
        return little ? littleEndian(at, length) : bigEndian(at, length);
    };
    if (number(&b[2], 2) != 42) return std::nullopt;
    const std::uint64_t directoryOffset = number(&b[4], 4);
    const Bytes count = read(directoryOffset, 2);
    if (count.size() < 2) return std::nullopt;
    const std::size_t entries = number(count.data(), 2);
    const Bytes directory = read(directoryOffset + 2, 12 * entries);
    if (directory.size() < 12 * entries) return std::nullopt;
    std::int64_t width = 0;
    std::int64_t height = 0;
    for (std::size_t entry = 0; entry < 12 * entries; entry += 12) {
        const unsigned char* at = &directory[entry];
        const std::uint32_t tag = number(at, 2);
        const std::uint32_t type = number(at + 2, 2);
        if (type != 3 && type != 4) continue;  // SHORT or LONG
        const std::uint32_t value = number(at + 8, type == 3 ? 2 : 4);
        if (tag == 256) width = value;
        if (tag == 257) height = value;
    }
    return makeSize(width, height);
}

}  // namespace

std::optional<cv::Size> readImageSizeFromHeader(const ByteReader& read) {
    // A JPEG's frame header follows its metadata, which rarely exceeds this.
    constexpr std::size_t HEADER_BYTES = 256 * 1024;
    const Bytes bytes = read(0, HEADER_BYTES);
    for (const auto reader : {pngSize, jpegSize, bmpSize}) {
        if (const std::optional<cv::Size> size = reader(bytes)) return size;
    }
    return tiffSize(bytes, read);
}

std::optional<cv::Size> readImageSizeFromHeader(const fs::path& path) {
    // A pipe or a device would block or never end.
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return readImageSizeFromHeader([&file](std::uint64_t offset, std::size_t count) {
        Bytes bytes(count);
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, file.gcount())));
        return bytes;
    });
}
