// SORTIE/<scan>/, the folder of one scan: every file a measurement and the batch leave there,
// cleared before the scan is measured again, and read in one go into the value the table, the
// page and the thumbnails use.
#pragma once

#include "scan_input/image_header.h"
#include "section_measure/output_files.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The batch's own files, beside the program's.
inline constexpr const char* CONSOLE_FILE = "console.txt";  // the program's standard output
inline constexpr const char* ERRORS_FILE = "erreurs.txt";   // its standard error
inline constexpr const char* STATUS_FILE = "statut.txt";    // its exit status, written last
inline constexpr const char* THUMBNAIL_FILE = "vignette.jpg";
inline constexpr const char* RESOLUTION_FILE = "resolution.txt";  // as the scan's header states it

// What the measuring program leaves in the folder, and the resolution it measures at, as the
// program's side declares them.
struct FolderLayout {
    std::vector<OutputFile> programFiles;  // in the order the page links them
    std::string report;                    // one of them: the values the table gathers
    std::string overview;                  // one of them: the picture the thumbnail shows
    double scanDpi;                        // pixels are turned into millimetres at this
};

FolderLayout sectionMeasureLayout();

// Every file of the folder that a measurement or the batch writes: the program's, the
// thumbnail, the batch's texts. Nothing else in the folder is ever touched.
std::vector<std::string> ownedFiles(const FolderLayout& layout);

// Creates the folder and removes every owned file, so that nothing of an earlier run can be
// taken for this one's; what went wrong, in French, when it cannot.
std::optional<std::string> clearScanFolder(const std::filesystem::path& folder,
                                           const FolderLayout& layout);

// Size and modification time tell whether a scan changed since it was measured.
struct ScanFingerprint {
    std::uintmax_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const ScanFingerprint& other) const {
        return size == other.size && modifiedNs == other.modifiedNs;
    }
};

std::optional<ScanFingerprint> fingerprintScan(const std::filesystem::path& scan);

// statut.txt.
struct ScanStatus {
    int exitStatus = 0;
    ScanFingerprint scan;
};

std::string formatStatus(const ScanStatus& status);
std::optional<ScanStatus> parseStatus(const std::string& text);

// Written to a temporary file then renamed, so a status is either whole or absent.
bool writeStatus(const std::filesystem::path& folder, const ScanStatus& status);
std::optional<ScanStatus> readStatus(const std::filesystem::path& folder);

// resolution.txt: the resolution the scan's header states, when it states one.
std::string formatStatedResolution(const StatedResolution& stated);
std::optional<StatedResolution> parseStatedResolution(const std::string& text);
// Kept from `scan`'s header, when it states one; false when it cannot be written.
bool keepStatedResolution(const std::filesystem::path& folder, const std::filesystem::path& scan);

// The value cells of a "mesures.csv" as written, line after line; nothing unless the text has
// exactly the lines, labels and cells of that file.
std::optional<std::vector<std::string>> parseMeasurementReport(const std::string& text);

// One scan's folder as read.
struct ScanResult {
    std::string scanName;
    std::optional<int> exitStatus;                  // none: no status (interrupted or running)
    std::optional<std::vector<std::string>> cells;  // none unless status 0 and a whole report
    // The owned files present; the thumbnail only when as new as the overview it shows.
    std::vector<std::string> files;
    std::string firstErrorLines;  // of erreurs.txt, for a scan not measured
    std::optional<StatedResolution> statedResolution;
    bool measured() const { return exitStatus == 0 && cells.has_value(); }
    bool holds(const std::string& file) const;
};

// Its header states a credible resolution other than the one the scan was measured at.
bool statesOtherResolution(const ScanResult& result, const FolderLayout& layout);

ScanResult readScanFolder(const std::filesystem::path& folder, const std::string& scanName,
                          const FolderLayout& layout);

// Status 0 recorded for this very scan, with its report still there and whole.
bool holdsCompleteResult(const std::filesystem::path& folder, const ScanFingerprint& scan,
                         const FolderLayout& layout);
