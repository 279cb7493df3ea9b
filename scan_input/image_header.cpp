#include "scan_input/image_header.h"

#include "scan_input/jpeg_markers.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <system_error>

namespace plantscan::input {

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

// A JPEG's frame header follows its metadata, which rarely exceeds this.
constexpr std::size_t HEADER_BYTES = 256 * 1024;

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

// The first directory of a TIFF structure (a TIFF file, or the block of an EXIF segment), read
// through `read`, offsets counted from its first byte. libtiff writes the directory after the
// pixels, so it is read where it lies.
struct TiffDirectory {
    bool little = true;
    Bytes entries;  // 12 bytes each

    std::uint32_t number(const unsigned char* at, int length) const {
        return little ? littleEndian(at, length) : bigEndian(at, length);
    }
};

std::optional<TiffDirectory> firstTiffDirectory(const ByteReader& read) {
    const Bytes header = read(0, 8);
    if (header.size() < 8) return std::nullopt;
    TiffDirectory directory;
    directory.little = header[0] == 'I' && header[1] == 'I';
    if (!directory.little && !(header[0] == 'M' && header[1] == 'M')) return std::nullopt;
    if (directory.number(&header[2], 2) != 42) return std::nullopt;
    const std::uint64_t offset = directory.number(&header[4], 4);
    const Bytes count = read(offset, 2);
    if (count.size() < 2) return std::nullopt;
    const std::size_t entries = directory.number(count.data(), 2);
    directory.entries = read(offset + 2, 12 * entries);
    if (directory.entries.size() < 12 * entries) return std::nullopt;
    return directory;
}

std::optional<cv::Size> tiffSize(const ByteReader& read) {
    const std::optional<TiffDirectory> directory = firstTiffDirectory(read);
    if (!directory) return std::nullopt;
    std::int64_t width = 0;
    std::int64_t height = 0;
    for (std::size_t entry = 0; entry < directory->entries.size(); entry += 12) {
        const unsigned char* at = &directory->entries[entry];
        const std::uint32_t tag = directory->number(at, 2);
        const std::uint32_t type = directory->number(at + 2, 2);
        if (type != 3 && type != 4) continue;  // SHORT or LONG
        const std::uint32_t value = directory->number(at + 8, type == 3 ? 2 : 4);
        if (tag == 256) width = value;
        if (tag == 257) height = value;
    }
    return makeSize(width, height);
}

constexpr double CM_PER_INCH = 2.54;

// XResolution and YResolution, in dots per ResolutionUnit (2 or absent: inch, 3: centimetre,
// 1: none).
std::optional<StatedResolution> tiffResolution(const ByteReader& read) {
    const std::optional<TiffDirectory> directory = firstTiffDirectory(read);
    if (!directory) return std::nullopt;
    std::optional<double> x, y;
    std::uint32_t unit = 2;
    for (std::size_t entry = 0; entry < directory->entries.size(); entry += 12) {
        const unsigned char* at = &directory->entries[entry];
        const std::uint32_t tag = directory->number(at, 2);
        const std::uint32_t type = directory->number(at + 2, 2);
        if (tag == 296 && type == 3) unit = directory->number(at + 8, 2);
        if ((tag != 282 && tag != 283) || type != 5) continue;  // RATIONAL: two LONGs elsewhere
        const Bytes rational = read(directory->number(at + 8, 4), 8);
        if (rational.size() < 8) continue;
        const std::uint32_t denominator = directory->number(&rational[4], 4);
        if (denominator == 0) continue;
        const double value = static_cast<double>(directory->number(&rational[0], 4)) / denominator;
        (tag == 282 ? x : y) = value;
    }
    if (!x || *x <= 0 || (unit != 2 && unit != 3)) return std::nullopt;
    const double scale = unit == 3 ? CM_PER_INCH : 1;
    return StatedResolution{*x * scale, (y && *y > 0 ? *y : *x) * scale};
}

Bytes bytesAt(const unsigned char* at, std::size_t size) { return Bytes(at, at + size); }

ByteReader readerOf(const Bytes& bytes) {
    return [&bytes](std::uint64_t offset, std::size_t count) {
        if (offset >= bytes.size()) return Bytes();
        const std::size_t end = offset + std::min<std::uint64_t>(count, bytes.size() - offset);
        return Bytes(bytes.begin() + static_cast<long>(offset),
                     bytes.begin() + static_cast<long>(end));
    };
}

// JFIF density (units 1: per inch, 2: per centimetre, 0: an aspect ratio only) and EXIF's
// resolution, which wins: scanning software writes it last.
std::optional<StatedResolution> jpegResolution(const Bytes& b) {
    std::optional<StatedResolution> jfif, exif;
    walkJpegSegments(b.data(), b.size(), [&](const JpegSegment& segment) {
        const unsigned char m = segment.marker;
        if (m == 0xDA || (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC))
            return false;  // the metadata comes before the frame
        const Bytes payload =
            segment.payload ? bytesAt(segment.payload, segment.payloadSize) : Bytes();
        static const std::string JFIF("JFIF\0", 5), EXIF("Exif\0\0", 6);
        if (m == 0xE0 && payload.size() >= 12 &&
            std::equal(JFIF.begin(), JFIF.end(), payload.begin())) {
            const unsigned char units = payload[7];
            const double x = bigEndian(&payload[8], 2);
            const double y = bigEndian(&payload[10], 2);
            if ((units == 1 || units == 2) && x > 0) {
                const double scale = units == 2 ? CM_PER_INCH : 1;
                jfif = StatedResolution{x * scale, (y > 0 ? y : x) * scale};
            }
        }
        if (m == 0xE1 && !exif && payload.size() > EXIF.size() &&
            std::equal(EXIF.begin(), EXIF.end(), payload.begin())) {
            const Bytes tiff(payload.begin() + static_cast<long>(EXIF.size()), payload.end());
            exif = tiffResolution(readerOf(tiff));
        }
        return true;
    });
    return exif ? exif : jfif;
}

// The pHYs chunk, before the image data: pixels per unit, the unit 1 being the metre.
std::optional<StatedResolution> pngResolution(const ByteReader& read) {
    static const unsigned char SIGNATURE[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const Bytes signature = read(0, 8);
    if (signature.size() < 8 || !std::equal(SIGNATURE, SIGNATURE + 8, signature.begin()))
        return std::nullopt;
    std::uint64_t offset = 8;
    for (int chunk = 0; chunk < 1000; ++chunk) {
        const Bytes head = read(offset, 8);
        if (head.size() < 8) return std::nullopt;
        const std::uint32_t length = bigEndian(&head[0], 4);
        const std::string type(head.begin() + 4, head.end());
        if (type == "IDAT" || type == "IEND") return std::nullopt;
        if (type == "pHYs" && length == 9) {
            const Bytes data = read(offset + 8, 9);
            if (data.size() < 9 || data[8] != 1) return std::nullopt;
            constexpr double METRES_PER_INCH = 0.0254;
            const double x = bigEndian(&data[0], 4);
            const double y = bigEndian(&data[4], 4);
            if (x <= 0) return std::nullopt;
            return StatedResolution{x * METRES_PER_INCH, (y > 0 ? y : x) * METRES_PER_INCH};
        }
        offset += 12 + std::uint64_t{length};  // length, type, data, CRC
    }
    return std::nullopt;
}

}  // namespace

std::optional<cv::Size> readImageSizeFromHeader(const ByteReader& read) {
    const Bytes bytes = read(0, HEADER_BYTES);
    for (const auto reader : {pngSize, jpegSize, bmpSize}) {
        if (const std::optional<cv::Size> size = reader(bytes)) return size;
    }
    return tiffSize(read);
}

namespace {

// Nothing for a pipe or a device, which would block or never end.
template <typename Answer>
std::optional<Answer> readFromFile(const fs::path& path,
                                   std::optional<Answer> (*reader)(const ByteReader&)) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return reader([&file](std::uint64_t offset, std::size_t count) {
        Bytes bytes(count);
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, file.gcount())));
        return bytes;
    });
}

}  // namespace

std::optional<cv::Size> readImageSizeFromHeader(const fs::path& path) {
    return readFromFile<cv::Size>(path, readImageSizeFromHeader);
}

std::optional<StatedResolution> readStatedResolution(const ByteReader& read) {
    if (std::optional<StatedResolution> png = pngResolution(read)) return png;
    const Bytes bytes = read(0, HEADER_BYTES);
    if (startsAsJpeg(bytes.data(), bytes.size())) return jpegResolution(bytes);
    return tiffResolution(read);
}

std::optional<StatedResolution> readStatedResolution(const fs::path& path) {
    return readFromFile<StatedResolution>(path, readStatedResolution);
}

}  // namespace plantscan::input
