#include "section_batch/scans.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

bool isScanName(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::array<const char*, 6> known{"jpg", "jpeg", "png", "tif", "tiff", "bmp"};
    return std::find(known.begin(), known.end(), extension) != known.end();
}

std::vector<std::string> listScans(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code error;
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && isScanName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> selectShard(const std::vector<std::string>& names, long shard,
                                     long shardCount) {
    std::vector<std::string> selected;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (static_cast<long>(i % static_cast<std::size_t>(shardCount)) == shard % shardCount) {
            selected.push_back(names[i]);
        }
    }
    return selected;
}

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t bigEndian(const Bytes& b, std::size_t at, int length) {
    std::uint32_t value = 0;
    for (int i = 0; i < length; ++i) value = (value << 8) | b[at + i];
    return value;
}

std::uint32_t littleEndian(const Bytes& b, std::size_t at, int length) {
    std::uint32_t value = 0;
    for (int i = length - 1; i >= 0; --i) value = (value << 8) | b[at + i];
    return value;
}

std::optional<cv::Size> makeSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    return cv::Size(static_cast<int>(width), static_cast<int>(height));
}

std::optional<cv::Size> pngSize(const Bytes& b) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() < 24 || !std::equal(signature, signature + 8, b.begin())) return std::nullopt;
    if (b[12] != 'I' || b[13] != 'H' || b[14] != 'D' || b[15] != 'R') return std::nullopt;
    return makeSize(bigEndian(b, 16, 4), bigEndian(b, 20, 4));
}

std::optional<cv::Size> bmpSize(const Bytes& b) {
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    // A negative height marks a top-down bitmap.
    const auto width = static_cast<std::int32_t>(littleEndian(b, 18, 4));
    const auto height = static_cast<std::int32_t>(littleEndian(b, 22, 4));
    return makeSize(width, height < 0 ? -static_cast<std::int64_t>(height) : height);
}

std::optional<cv::Size> jpegSize(const Bytes& b) {
    if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) return std::nullopt;
        const unsigned char marker = b[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const std::uint32_t length = bigEndian(b, at + 2, 2);
        // Start-of-frame markers; C4, C8 and CC share the range but are not frames.
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > b.size()) return std::nullopt;
            return makeSize(bigEndian(b, at + 7, 2), bigEndian(b, at + 5, 2));
        }
        if (length < 2) return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

Bytes readBytes(std::ifstream& file, std::size_t offset, std::size_t count) {
    Bytes bytes(count);
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

// libtiff writes the first directory after the pixels, so it is read where it lies.
std::optional<cv::Size> tiffSize(const Bytes& b, std::ifstream& file) {
    if (b.size() < 8) return std::nullopt;
    const bool little = b[0] == 'I' && b[1] == 'I';
    if (!little && !(b[0] == 'M' && b[1] == 'M')) return std::nullopt;
    const auto read = [little](const Bytes& bytes, std::size_t at, int length) {
        return little ? littleEndian(bytes, at, length) : bigEndian(bytes, at, length);
    };
    if (read(b, 2, 2) != 42) return std::nullopt;
    const std::size_t directoryOffset = read(b, 4, 4);
    const Bytes count = readBytes(file, directoryOffset, 2);
    if (count.size() < 2) return std::nullopt;
    const std::size_t entries = read(count, 0, 2);
    const Bytes directory = readBytes(file, directoryOffset + 2, 12 * entries);
    if (directory.size() < 12 * entries) return std::nullopt;
    std::int64_t width = 0;
    std::int64_t height = 0;
    for (std::size_t entry = 0; entry < 12 * entries; entry += 12) {
        const std::uint32_t tag = read(directory, entry, 2);
        const std::uint32_t type = read(directory, entry + 2, 2);
        if (type != 3 && type != 4) continue;  // SHORT or LONG
        const std::uint32_t value = read(directory, entry + 8, type == 3 ? 2 : 4);
        if (tag == 256) width = value;
        if (tag == 257) height = value;
    }
    return makeSize(width, height);
}

}  // namespace

std::optional<cv::Size> readImageSizeFromHeader(const fs::path& path) {
    // A JPEG's frame header follows its metadata, which rarely exceeds this.
    constexpr std::size_t headerBytes = 256 * 1024;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    const Bytes bytes = readBytes(file, 0, headerBytes);
    for (const auto reader : {pngSize, jpegSize, bmpSize}) {
        if (const std::optional<cv::Size> size = reader(bytes)) return size;
    }
    return tiffSize(bytes, file);
}
