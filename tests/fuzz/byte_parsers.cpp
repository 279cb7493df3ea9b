#include "byte_parsers.h"

#include "scan_input/image_header.h"
#include "scan_input/jpeg_markers.h"
#include "section_batch/scan_folder.h"
#include "section_measure/report_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void require(bool property, const char* what) {
    if (property) return;
    std::fprintf(stderr, "broken property: %s\n", what);
    std::abort();
}

}  // namespace

void fuzzJpegMarkers(const std::uint8_t* data, std::size_t size) {
    std::size_t visited = 0;
    walkJpegSegments(data, size, [&](const JpegSegment& segment) {
        ++visited;
        if (segment.payload == nullptr) {
            require(segment.payloadSize == 0, "a standalone marker has no payload");
        } else {
            require(segment.payload >= data && segment.payload + segment.payloadSize <= data + size,
                    "segment inside the bytes");
        }
        return true;
    });
    // Each segment takes at least its two marker bytes.
    require(visited <= size / 2, "no segment visited twice");
}

void fuzzImageHeader(const std::uint8_t* data, std::size_t size) {
    const auto read = [data, size](std::uint64_t offset, std::size_t count) {
        if (offset >= size) return std::vector<unsigned char>();
        const std::size_t end = offset + std::min<std::uint64_t>(count, size - offset);
        return std::vector<unsigned char>(data + offset, data + end);
    };
    if (const std::optional<cv::Size> found = readImageSizeFromHeader(read)) {
        require(found->width > 0 && found->height > 0, "positive size");
    }
}

void fuzzStatusFile(const std::uint8_t* data, std::size_t size) {
    const std::optional<ScanStatus> status =
        parseStatus(std::string(reinterpret_cast<const char*>(data), size));
    if (!status) return;
    const std::optional<ScanStatus> again = parseStatus(formatStatus(*status));
    require(again && again->exitStatus == status->exitStatus && again->scan == status->scan,
            "round trip");
}

void fuzzMeasurementReport(const std::uint8_t* data, std::size_t size) {
    const std::optional<std::vector<std::string>> cells =
        parseMeasurementReport(std::string(reinterpret_cast<const char*>(data), size));
    if (!cells) return;
    require(cells->size() == REPORT_CELLS, "every cell of the report");
    for (const std::string& cell : *cells) {
        require(!cell.empty(), "no empty cell");
        require(cell.find_first_of(";\r\n\"") == std::string::npos, "no separator in a cell");
    }
}
