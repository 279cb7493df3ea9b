// What a scan's subfolder holds once measured, and the table that gathers them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* STATUS_FILE = "statut.txt";
inline constexpr const char* REPORT_FILE = "mesures.csv";
inline constexpr const char* TABLE_FILE = "toutes_mesures.csv";
inline constexpr int MEASUREMENT_CELLS = 28;

// Size and modification time tell whether a scan changed since it was measured.
struct ScanFingerprint {
    std::uintmax_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const ScanFingerprint& other) const {
        return size == other.size && modifiedNs == other.modifiedNs;
    }
};

struct ScanStatus {
    int exitStatus = 0;
    ScanFingerprint scan;
};

std::optional<ScanFingerprint> fingerprintScan(const std::filesystem::path& scan);

std::string formatStatus(const ScanStatus& status);
std::optional<ScanStatus> parseStatus(const std::string& text);

// Written to a temporary file then renamed, so a status is either whole or absent.
bool writeStatus(const std::filesystem::path& folder, const ScanStatus& status);
std::optional<ScanStatus> readStatus(const std::filesystem::path& folder);

// The 28 value cells of a "mesures.csv" as written, in the order of the table's columns;
// nothing unless the text has exactly the lines, labels and cells of that file.
std::optional<std::vector<std::string>> parseMeasurementReport(const std::string& text);

// One scan's row: the status recorded in its subfolder (none when it holds no status) and
// its cells (none unless the status is 0 and "mesures.csv" reads back whole).
struct ScanResult {
    std::string scanName;
    std::optional<int> exitStatus;
    std::optional<std::vector<std::string>> cells;
    bool measured() const { return exitStatus == 0 && cells.has_value(); }
};

ScanResult readScanResult(const std::filesystem::path& folder, const std::string& scanName);

// Status 0 recorded for this very scan, with its "mesures.csv" still there and whole.
bool holdsCompleteResult(const std::filesystem::path& folder, const ScanFingerprint& scan);

std::string tableHeader();
std::string tableRow(const ScanResult& result);

// Temporary file in the same folder, then renamed over `path`.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& text);

// Flushes a file written by another process to disk; false if it cannot be opened or synced.
bool syncToDisk(const std::filesystem::path& path);
