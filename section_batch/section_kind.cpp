#include "section_batch/section_kind.h"

#include "batch/processes.h"
#include "platform/paths.h"
#include "section_measure/constants.h"
#include "section_measure/output_files.h"
#include "section_measure/report_layout.h"
#include "stored/table.h"

#include <cstdlib>

namespace plantscan::section_batch {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> findSectionMeasure() {
    const char* path = std::getenv("PATH");
    return batch::findProgram("section_measure", batch::ownFolder(), path ? path : "");
}

std::vector<std::string> sectionMeasureArguments(const fs::path& scan, input::Dpi) {
    return {platform::utf8FromPath(scan)};
}

std::string table(const std::vector<stored::ScanResult>& results, const stored::FolderLayout&) {
    std::string text = tableHeader();
    for (const stored::ScanResult& result : results) text += tableRow(result);
    return text;
}

}  // namespace

stored::FolderLayout sectionMeasureLayout() {
    stored::FolderLayout layout;
    layout.program = "section_measure";
    for (const section::OutputFile& file : section::SECTION_MEASURE_FILES)
        layout.programFiles.push_back({file.name, file.shows});
    layout.report = section::REPORT_FILE;
    layout.parseReport = parseMeasurementReport;
    layout.overview = section::OVERVIEW_FILE;
    layout.scanDpi = input::Dpi{section::SCAN_DPI};
    for (const section::StatusMeaning& meaning : section::SECTION_MEASURE_STATUSES)
        layout.statusWords[meaning.status] = meaning.words;
    // section_measure's own words say "image"; the batch's pages and console say "scan".
    layout.statusWords[section::BAD_INPUT] = "scan absent ou illisible";
    return layout;
}

std::optional<std::vector<std::string>> parseMeasurementReport(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) return std::nullopt;  // last line cut short
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (lines.size() != section::REPORT_LINES.size() + 1 || lines[0] != section::REPORT_HEADER)
        return std::nullopt;

    std::vector<std::string> values;
    for (std::size_t i = 0; i < section::REPORT_LINES.size(); ++i) {
        const std::vector<std::string> cells = stored::splitCells(lines[i + 1]);
        const section::ReportLine& expected = section::REPORT_LINES[i];
        // Rows of several values end with ";", hence one more (empty) cell.
        const std::size_t cellCount = expected.values > 1 ? expected.values + 2 : 2;
        if (cells.size() != cellCount || cells[0] != expected.label) return std::nullopt;
        if (expected.values > 1 && !cells.back().empty()) return std::nullopt;
        for (int v = 1; v <= expected.values; ++v) {
            // A line break or a quote in a value would break the table's row.
            if (cells[v].empty() || cells[v].find_first_of("\r\n\"") != std::string::npos) {
                return std::nullopt;
            }
            values.push_back(cells[v]);
        }
    }
    return values;
}

std::string tableHeader() {
    std::string header = "Scan;Statut";
    for (const section::ReportLine& line : section::REPORT_LINES) {
        if (line.values == 1) {
            header += std::string(";") + line.column;
            continue;
        }
        for (int k = 1; k <= line.values; ++k)
            header += ";" + (line.column + std::to_string(k)) + line.columnEnd;
    }
    return header + ";" + stored::STATED_DPI_COLUMN + "\r\n";
}

std::string tableRow(const stored::ScanResult& result) {
    std::string row = stored::quoteCell(result.scanName) + ";";
    if (result.exitStatus) row += std::to_string(*result.exitStatus);
    for (int i = 0; i < section::REPORT_CELLS; ++i) {
        row += ";";
        if (result.measured()) row += (*result.cells)[static_cast<std::size_t>(i)];
    }
    return row + ";" + stored::statedDpiCell(result) + "\r\n";
}

batch::BatchKind sectionBatch() {
    // In the order of BatchKind's fields: name, default SORTIE, layout, need, --dpi, hook, help,
    // child, its arguments, table, page, summary note.
    return {"section_batch",
            "resultats",
            sectionMeasureLayout(),
            resources::SECTION_MEASURE_NEED,
            false,
            false,
            helpText,
            findSectionMeasure,
            sectionMeasureArguments,
            TABLE_FILE,
            table,
            sectionResultsPage,
            nullptr};
}

}  // namespace plantscan::section_batch
