#include "batch/table.h"

#include "section_measure/report_layout.h"

namespace {

std::string quoteCell(const std::string& cell) {
    if (cell.find_first_of(";\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string tableHeader() {
    std::string header = "Scan;Statut";
    for (const ReportLine& line : REPORT_LINES) {
        if (line.values == 1) {
            header += std::string(";") + line.column;
            continue;
        }
        for (int k = 1; k <= line.values; ++k)
            header += ";" + (line.column + std::to_string(k)) + line.columnEnd;
    }
    return header + "\r\n";
}

std::string tableRow(const ScanResult& result) {
    std::string row = quoteCell(result.scanName) + ";";
    if (result.exitStatus) row += std::to_string(*result.exitStatus);
    for (int i = 0; i < REPORT_CELLS; ++i) {
        row += ";";
        if (result.measured()) row += (*result.cells)[static_cast<std::size_t>(i)];
    }
    return row + "\r\n";
}
