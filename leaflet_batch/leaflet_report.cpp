#include "leaflet_batch/leaflet_report.h"

#include "section_measure/report.h"
#include "stored/table.h"

#include <cmath>

namespace plantscan::leaflet_batch {

namespace {

constexpr const char* LINE_END = "\r\n";

std::string reportHeader() {
    std::string header = "Pétale;" + leafletColumnNames(0, LEAFLET_CELLS);
    header.back() = '\r';
    return header + "\n";
}

}  // namespace

std::string leafletColumnNames(std::size_t first, std::size_t end) {
    std::string names;
    for (std::size_t c = first; c < end; ++c) names += std::string(LEAFLET_COLUMNS[c].name) + ";";
    return names;
}

std::string formatLeafletReport(const std::vector<plantscan::Leaflet>& leaflets) {
    std::string text = reportHeader();
    for (std::size_t n = 0; n < leaflets.size(); ++n) {
        text += std::to_string(n);
        for (const LeafletColumn& column : LEAFLET_COLUMNS) {
            // A value that rounds to nothing is 0, never "-0" (a* of a gray leaflet).
            const double value = leaflets[n].*column.value;
            const bool nothing = std::fabs(value) < 0.5 * std::pow(10.0, -column.decimals);
            text += ";" + section::formatDecimal(nothing ? 0.0 : value, column.decimals);
        }
        text += LINE_END;
    }
    return text;
}

std::optional<std::vector<std::string>> parseLeafletReport(const std::string& text) {
    const std::string header = reportHeader();
    if (text.compare(0, header.size(), header) != 0) return std::nullopt;
    std::vector<std::string> values;
    std::size_t start = header.size();
    for (std::size_t n = 0; start < text.size(); ++n) {
        const std::size_t end = text.find(LINE_END, start);
        if (end == std::string::npos) return std::nullopt;  // last line cut short
        const std::vector<std::string> cells = stored::splitCells(text.substr(start, end - start));
        if (cells.size() != LEAFLET_CELLS + 1 || cells[0] != std::to_string(n)) return std::nullopt;
        for (std::size_t v = 1; v < cells.size(); ++v) {
            // A line break or a quote in a value would break the table's row.
            if (cells[v].empty() || cells[v].find_first_of("\r\n\"") != std::string::npos)
                return std::nullopt;
            values.push_back(cells[v]);
        }
        start = end + 2;
    }
    return values;
}

}  // namespace plantscan::leaflet_batch
