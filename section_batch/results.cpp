#include "section_batch/results.h"

#include "resources/resources.h"

#include "section_measure/report_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

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
        // Rows of five values end with ";", hence one more (empty) cell.
        const std::size_t cellCount = expected.values == 5 ? 7 : 2;
        if (cells.size() != cellCount || cells[0] != expected.label) return std::nullopt;
        if (expected.values == 5 && !cells.back().empty()) return std::nullopt;
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

ScanResult readScanResult(const fs::path& folder, const std::string& scanName) {
    ScanResult result{scanName, std::nullopt, std::nullopt};
    if (const std::optional<ScanStatus> status = readStatus(folder)) {
        result.exitStatus = status->exitStatus;
        std::error_code error;
        if (status->exitStatus == 0 && fs::is_regular_file(folder / REPORT_FILE, error)) {
            result.cells = parseMeasurementReport(readSmallFile(folder / REPORT_FILE));
        }
    }
    return result;
}

bool holdsCompleteResult(const fs::path& folder, const ScanFingerprint& scan) {
    const std::optional<ScanStatus> status = readStatus(folder);
    std::error_code error;
    return status && status->exitStatus == 0 && status->scan == scan &&
           fs::is_regular_file(folder / REPORT_FILE, error) &&
           parseMeasurementReport(readSmallFile(folder / REPORT_FILE));
}

std::string tableHeader() {
    std::string header = "Scan;Statut";
    const auto addFive = [&header](const std::string& before, const std::string& after) {
        for (int k = 1; k <= 5; ++k) header += ";" + before + std::to_string(k) + after;
    };
    addFive("Rayon de courbure de l'angle ", " (mm)");
    addFive("Rayon de courbure du creux ", " (mm)");
    addFive("Profondeur du creux ", " (mm)");
    addFive("Distance du creux ", " avec le cercle circonscrit (mm)");
    addFive("Ratio de la distance du creux ", " avec le rayon du cercle circonscrit (%)");
    header += ";Largeur primocanne (mm);Diamètre cercle circonscrit (mm)";
    header += ";Diamètre cercle inscrit (mm)\r\n";
    return header;
}

std::string tableRow(const ScanResult& result) {
    std::string row = quoteCell(result.scanName) + ";";
    if (result.exitStatus) row += std::to_string(*result.exitStatus);
    for (int i = 0; i < MEASUREMENT_CELLS; ++i) {
        row += ";";
        if (result.measured()) row += (*result.cells)[i];
    }
    return row + "\r\n";
}

bool writeFileAtomically(const fs::path& path, const std::string& text) {
    // Host name and process id keep two batches sharing a folder, on one machine or several,
    // from writing the same temporary file.
    char host[256] = {};
    if (::gethostname(host, sizeof(host) - 1) != 0) host[0] = '\0';
    fs::path temporary = path;
    temporary += ".tmp-" + std::string(host) + "-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        written += static_cast<std::size_t>(n);
    }
    // Flushed to disk before the rename, so a crash leaves the old file or the whole new one.
    const bool complete = written == text.size() && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!complete || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool syncToDisk(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}
