#include "byte_parsers.h"

#include "leaflet_batch/leaflet_report.h"
#include "page/results_page.h"
#include "scan_input/image_header.h"
#include "scan_input/jpeg_markers.h"
#include "section_batch/section_kind.h"
#include "section_measure/report_layout.h"
#include "stored/scan_folder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace plantscan::input;
using namespace plantscan::leaflet_batch;
using namespace plantscan::page;
using namespace plantscan::section;
using namespace plantscan::section_batch;
using namespace plantscan::stored;

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

void fuzzImageResolution(const std::uint8_t* data, std::size_t size) {
    const auto read = [data, size](std::uint64_t offset, std::size_t count) {
        if (offset >= size) return std::vector<unsigned char>();
        const std::size_t end = offset + std::min<std::uint64_t>(count, size - offset);
        return std::vector<unsigned char>(data + offset, data + end);
    };
    if (const std::optional<StatedResolution> stated = readStatedResolution(read)) {
        require(std::isfinite(stated->x) && stated->x > 0, "a positive, finite x");
        require(std::isfinite(stated->y) && stated->y > 0, "a positive, finite y");
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

void fuzzLeafletReport(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::vector<std::string>> cells = parseLeafletReport(text);
    if (!cells) return;
    require(cells->size() % LEAFLET_CELLS == 0, "whole leaflets");
    for (const std::string& cell : *cells) {
        require(!cell.empty(), "no empty cell");
        require(cell.find_first_of(";\r\n\"") == std::string::npos, "no separator in a cell");
    }
}

namespace {

// Text from outside the program (names, cells, messages, times) is marked at both ends with
// bytes the page never writes, so that what lies between can be checked in the page.
constexpr char TEXT_START = '\x01';
constexpr char TEXT_END = '\x02';

// Each marked piece holds no markup: no angle bracket or quote, and "&" only as an entity.
void requireEveryPieceEscaped(const std::string& page) {
    for (std::size_t start = page.find(TEXT_START); start != std::string::npos;
         start = page.find(TEXT_START, start + 1)) {
        const std::size_t end = page.find(TEXT_END, start);
        require(end != std::string::npos, "every piece ends");
        const std::string piece = page.substr(start + 1, end - start - 1);
        require(piece.find(TEXT_START) == std::string::npos, "pieces do not nest");
        require(piece.find_first_of("<>\"'") == std::string::npos, "no markup in a piece");
        for (std::size_t amp = piece.find('&'); amp != std::string::npos;
             amp = piece.find('&', amp + 1)) {
            bool entity = false;
            for (const char* name : {"amp;", "lt;", "gt;", "quot;", "#39;"}) {
                entity = entity || piece.compare(amp + 1, std::strlen(name), name) == 0;
            }
            require(entity, "\"&\" only as an entity");
        }
    }
}

}  // namespace

void fuzzResultsPage(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\0') {
            pieces.emplace_back();
        } else if (c != TEXT_START && c != TEXT_END) {
            pieces.back() += c;
        }
    }
    std::size_t next = 1;
    const auto text = [&] {
        return TEXT_START + (next < pieces.size() ? pieces[next++] : std::string()) + TEXT_END;
    };
    // The first piece says what each scan is: measured with a numeric width or a text one,
    // failed with a status, or without a status.
    const FolderLayout layout = sectionMeasureLayout();
    const std::string& kinds = pieces[0];
    std::vector<ScanResult> results;
    for (std::size_t i = 0; i < kinds.size() && i < 16; ++i) {
        const auto kind = static_cast<unsigned char>(kinds[i]);
        ScanResult result;
        result.scanName = text();
        result.files = ownedFiles({}, result.scanName, layout);
        if (kind % 4 < 2) {
            result.exitStatus = 0;
            result.cells = std::vector<std::string>(REPORT_CELLS, "1");
            (*result.cells)[firstReportCell(SECTION_WIDTH)] =
                kind % 4 == 0 ? std::to_string(kind / 4) : text();
        } else {
            if (kind % 4 == 2) result.exitStatus = kind / 4;
            result.firstErrorLines = text();
        }
        results.push_back(result);
    }
    std::vector<RunTimes> runs;
    while (next + 1 < pieces.size()) runs.push_back({text(), text()});
    const PageContext context{"section_batch", TABLE_FILE, kinds.size() % 2 == 0, runs};
    requireEveryPieceEscaped(sectionResultsPage(results, layout, context));
}
