#include "scan_input/jpeg_markers.h"

namespace plantscan::input {

namespace {

constexpr unsigned char MARKER = 0xFF;
constexpr unsigned char START_OF_IMAGE = 0xD8;
constexpr unsigned char END_OF_IMAGE = 0xD9;

bool isRestart(unsigned char code) { return code >= 0xD0 && code <= 0xD7; }

// Markers that stand alone, without a length field: TEM and the restart markers.
bool isStandalone(unsigned char code) { return code == 0x01 || isRestart(code); }

// Position of the next marker's FF at or after `pos`; `size` if none.
std::size_t findNextMarker(const unsigned char* bytes, std::size_t size, std::size_t pos) {
    for (; pos + 1 < size; ++pos) {
        if (bytes[pos] != MARKER) continue;
        const unsigned char code = bytes[pos + 1];
        if (code != 0x00 && code != MARKER && !isRestart(code)) return pos;
    }
    return size;
}

}  // namespace

bool startsAsJpeg(const unsigned char* bytes, std::size_t size) {
    return size >= 2 && bytes[0] == MARKER && bytes[1] == START_OF_IMAGE;
}

JpegWalk walkJpegSegments(const unsigned char* bytes, std::size_t size,
                          const std::function<bool(const JpegSegment&)>& visit) {
    if (!startsAsJpeg(bytes, size)) return JpegWalk::NOT_JPEG;
    std::size_t pos = 2;
    for (;;) {
        pos = findNextMarker(bytes, size, pos);
        if (pos >= size) return JpegWalk::CUT_SHORT;
        const unsigned char code = bytes[pos + 1];
        pos += 2;
        if (code == END_OF_IMAGE) return JpegWalk::END_OF_IMAGE;
        if (isStandalone(code)) {
            if (!visit({code, nullptr, 0})) return JpegWalk::STOPPED;
            continue;
        }
        if (pos + 2 > size) return JpegWalk::CUT_SHORT;
        const std::size_t length = (std::size_t{bytes[pos]} << 8) | bytes[pos + 1];
        if (length < 2 || pos + length > size) return JpegWalk::CUT_SHORT;
        if (!visit({code, bytes + pos + 2, length - 2})) return JpegWalk::STOPPED;
        pos += length;
    }
}

}  // namespace plantscan::input
