#include "batch/scan_folder.h"

#include "batch/atomic_file.h"
#include "resources/resources.h"
#include "section_measure/constants.h"
#include "section_measure/report_layout.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int ERROR_LINES_SHOWN = 5;
constexpr std::size_t ERROR_LINE_BYTES = 300;

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(';', start);
        cells.push_back(line.substr(start, end - start));
        if (end == std::string::npos) return cells;
        start = end + 1;
    }
}

// At most a few lines, each cut short at a character boundary.
std::string firstLines(const std::string& text) {
    std::string kept;
    std::size_t start = 0;
    for (int line = 0; line < ERROR_LINES_SHOWN && start < text.size(); ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string piece = text.substr(start, end - start);
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
        if (piece.size() > ERROR_LINE_BYTES) {
            std::size_t cut = ERROR_LINE_BYTES;
            while (cut > 0 && (static_cast<unsigned char>(piece[cut]) & 0xC0) == 0x80) --cut;
            piece = piece.substr(0, cut) + "…";
        }
        kept += piece + "\n";
        start = end + 1;
    }
    while (!kept.empty() && (kept.back() == '\n' || kept.back() == ' ')) kept.pop_back();
    return kept;
}

std::string readStart(const fs::path& path, std::size_t bytes) {
    std::ifstream file(path, std::ios::binary);
    std::string text(bytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(bytes));
    text.resize(static_cast<std::size_t>(file.gcount()));
    return text;
}

std::optional<std::vector<std::string>> readReport(const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    return parseMeasurementReport(readSmallFile(path));
}

}  // namespace

FolderLayout sectionMeasureLayout() {
    return {{SECTION_MEASURE_FILES.begin(), SECTION_MEASURE_FILES.end()},
            SECTION_MEASURE_REPORT,
            SECTION_MEASURE_OVERVIEW,
            SCAN_DPI};
}

std::vector<std::string> ownedFiles(const FolderLayout& layout) {
    std::vector<std::string> files;
    for (const OutputFile& file : layout.programFiles) files.push_back(file.name);
    for (const char* file :
         {THUMBNAIL_FILE, CONSOLE_FILE, ERRORS_FILE, RESOLUTION_FILE, STATUS_FILE})
        files.push_back(file);
    return files;
}

std::optional<std::string> clearScanFolder(const fs::path& folder, const FolderLayout& layout) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        return "impossible de créer le dossier « " + folder.string() + " » : " + error.message();
    }
    for (const std::string& file : ownedFiles(layout)) {
        fs::remove(folder / file, error);
        if (error) {
            return "impossible d'effacer « " + (folder / file).string() + " » : " + error.message();
        }
    }
    return std::nullopt;
}

std::optional<ScanFingerprint> fingerprintScan(const fs::path& scan) {
    struct stat info {};
    if (::stat(scan.c_str(), &info) != 0) return std::nullopt;
    return ScanFingerprint{
        static_cast<std::uintmax_t>(info.st_size),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::string formatStatus(const ScanStatus& status) {
    std::ostringstream text;
    text << "statut " << status.exitStatus << "\ntaille " << status.scan.size << "\nmodification "
         << status.scan.modifiedNs << "\n";
    return text.str();
}

std::optional<ScanStatus> parseStatus(const std::string& text) {
    std::istringstream in(text);
    std::string statusKey, sizeKey, modifiedKey;
    ScanStatus status;
    if (!(in >> statusKey >> status.exitStatus >> sizeKey >> status.scan.size >> modifiedKey >>
          status.scan.modifiedNs)) {
        return std::nullopt;
    }
    std::string rest;
    if (statusKey != "statut" || sizeKey != "taille" || modifiedKey != "modification" ||
        (in >> rest)) {
        return std::nullopt;
    }
    return status;
}

bool writeStatus(const fs::path& folder, const ScanStatus& status) {
    return writeFileAtomically(folder / STATUS_FILE, formatStatus(status));
}

std::optional<ScanStatus> readStatus(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_regular_file(folder / STATUS_FILE, error)) return std::nullopt;
    return parseStatus(readSmallFile(folder / STATUS_FILE));
}

std::string formatStatedResolution(const StatedResolution& stated) {
    std::ostringstream text;
    text << "dpi_x " << stated.x << "\ndpi_y " << stated.y << "\n";
    return text.str();
}

std::optional<StatedResolution> parseStatedResolution(const std::string& text) {
    std::istringstream in(text);
    std::string xKey, yKey, rest;
    StatedResolution stated{};
    if (!(in >> xKey >> stated.x >> yKey >> stated.y) || xKey != "dpi_x" || yKey != "dpi_y" ||
        (in >> rest) || !(stated.x > 0) || !(stated.y > 0) || !std::isfinite(stated.x) ||
        !std::isfinite(stated.y)) {
        return std::nullopt;
    }
    return stated;
}

bool keepStatedResolution(const fs::path& folder, const fs::path& scan) {
    const std::optional<StatedResolution> stated = readStatedResolution(scan);
    return !stated ||
           writeFileAtomically(folder / RESOLUTION_FILE, formatStatedResolution(*stated));
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
    if (lines.size() != REPORT_LINES.size() + 1 || lines[0] != REPORT_HEADER) return std::nullopt;

    std::vector<std::string> values;
    for (std::size_t i = 0; i < REPORT_LINES.size(); ++i) {
        const std::vector<std::string> cells = splitCells(lines[i + 1]);
        const ReportLine& expected = REPORT_LINES[i];
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

bool ScanResult::holds(const std::string& file) const {
    return std::find(files.begin(), files.end(), file) != files.end();
}

bool statesOtherResolution(const ScanResult& result, const FolderLayout& layout) {
    return result.statedResolution && resolutionDiffers(*result.statedResolution, layout.scanDpi);
}

ScanResult readScanFolder(const fs::path& folder, const std::string& scanName,
                          const FolderLayout& layout) {
    ScanResult result;
    result.scanName = scanName;
    if (const std::optional<ScanStatus> status = readStatus(folder)) {
        result.exitStatus = status->exitStatus;
        if (status->exitStatus == 0) result.cells = readReport(folder / layout.report);
    }
    std::error_code error;
    for (const std::string& file : ownedFiles(layout)) {
        if (fs::is_regular_file(folder / file, error)) result.files.push_back(file);
    }
    // A thumbnail older than its picture, or without it, shows something else.
    if (result.holds(THUMBNAIL_FILE)) {
        const fs::file_time_type picture = fs::last_write_time(folder / layout.overview, error);
        const bool pictureFound = !error;
        const fs::file_time_type thumbnail = fs::last_write_time(folder / THUMBNAIL_FILE, error);
        if (!pictureFound || error || thumbnail < picture) {
            result.files.erase(
                std::find(result.files.begin(), result.files.end(), std::string(THUMBNAIL_FILE)));
        }
    }
    if (!result.measured()) {
        result.firstErrorLines = firstLines(readStart(folder / ERRORS_FILE, 4096));
    }
    if (result.holds(RESOLUTION_FILE)) {
        result.statedResolution = parseStatedResolution(readSmallFile(folder / RESOLUTION_FILE));
    }
    return result;
}

bool holdsCompleteResult(const fs::path& folder, const ScanFingerprint& scan,
                         const FolderLayout& layout) {
    const std::optional<ScanStatus> status = readStatus(folder);
    return status && status->exitStatus == 0 && status->scan == scan &&
           readReport(folder / layout.report);
}
