#include "leaflet_batch/leaflet_report.h"

#include "section_measure/report.h"
#include "stored/table.h"

namespace plantscan::leaflet_batch {

namespace {

constexpr const char* LINE_END = "\r\n";

}  // namespace

std::string formatLeafletReport(const std::vector<plantscan::Leaflet>& leaflets) {
    std::string text = std::string("Pétale;") + LEAFLET_COLUMNS + LINE_END;
    for (std::size_t n = 0; n < leaflets.size(); ++n) {
        const plantscan::Leaflet& leaflet = leaflets[n];
        text += std::to_string(n);
        for (const double value : {leaflet.area, leaflet.length, leaflet.width, leaflet.perimeter})
            text += ";" + section::formatDecimal(value, 2);
        text += LINE_END;
    }
    return text;
}

std::optional<std::vector<std::string>> parseLeafletReport(const std::string& text) {
    const std::string header = std::string("Pétale;") + LEAFLET_COLUMNS + LINE_END;
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
