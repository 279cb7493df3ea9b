// The one walk over a JPEG's marker segments, shared by the truncation check and the header
// reader.
#pragma once

#include <cstddef>
#include <functional>

namespace plantscan::input {

struct JpegSegment {
    unsigned char marker = 0;                // the byte after FF
    const unsigned char* payload = nullptr;  // after the two length bytes; none when standalone
    std::size_t payloadSize = 0;
};

enum class JpegWalk {
    NOT_JPEG,      // no start-of-image marker in the first two bytes
    END_OF_IMAGE,  // the image's own end-of-image marker was reached
    CUT_SHORT,     // the bytes end (or a length runs past them) before it
    STOPPED,       // the visitor asked to stop
};

// The first two bytes are a start-of-image marker.
bool startsAsJpeg(const unsigned char* bytes, std::size_t size);

// Visits every segment after the start-of-image marker, in file order, until `visit` returns
// false or the end-of-image marker. Segments are stepped over by their lengths, so an FF D9
// inside one (an embedded thumbnail) does not count; entropy-coded data after a scan header
// is skipped, FF 00 and the restart markers being part of it.
JpegWalk walkJpegSegments(const unsigned char* bytes, std::size_t size,
                          const std::function<bool(const JpegSegment&)>& visit);

}  // namespace plantscan::input
