// SORTIE/<scan>/, the folder of one scan: every file a measurement and the batch leave there,
// cleared before the scan is measured again, and read in one go into the value the table, the
// page and the thumbnails use.
#pragma once

#include "scan_input/image_header.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::stored {

// The batch's own files, beside the program's.
inline constexpr const char* CONSOLE_FILE = "console.txt";  // the program's standard output
inline constexpr const char* ERRORS_FILE = "erreurs.txt";   // its standard error
inline constexpr const char* STATUS_FILE = "statut.txt";    // its exit status, written last
inline constexpr const char* THUMBNAIL_FILE = "vignette.jpg";
inline constexpr const char* RESOLUTION_FILE = "resolution.txt";  // as the scan's header states it
// Small pictures of the pieces, for the page: PIECE_THUMBNAILS/<n>.jpg.
inline constexpr const char* PIECE_THUMBNAILS = "vignettes";

// The status recorded for a program that could not be started, as shells give it.
inline constexpr int NOT_STARTED = 127;

// A file the measuring program leaves, with what it shows.
struct ProgramFile {
    const char* name;
    const char* shows;  // French, as the batch speaks
};

// What the measuring program leaves in the folder, how its report reads and the resolution it
// measures at, as the program's side declares them.
struct FolderLayout {
    std::string program;                    // its name, as messages give it
    std::vector<ProgramFile> programFiles;  // in the order the page links them
    std::string report;                     // one of them: the values the table gathers
    // The report's value cells, line after line; nothing unless the text is a whole report.
    std::optional<std::vector<std::string>> (*parseReport)(const std::string& text) = nullptr;
    std::string overview;  // one of them: the picture the thumbnail shows
    input::Dpi scanDpi;    // pixels are turned into millimetres at this
    // The program's exit statuses in words ("pas de section mesurable"); 0 among them.
    std::map<int, std::string> statusWords;
    // Where the program puts the pieces it cuts out of a scan, and its name for the piece
    // numbered n (from 0) of a scan, relative to the scan's folder; empty and none when it cuts
    // none.
    std::string piecesFolder;
    std::string (*pieceFile)(const std::string& scanName, int n) = nullptr;
    // Where the program records the resolution it measured at; empty when it is always scanDpi.
    std::string dpiFile;
    // The report holds areas beside lengths (a wrong resolution squares their error).
    bool reportHoldsAreas = false;
    // The version of the values the program writes, recorded in dpiFile beside the resolution:
    // values of another version are measured again, and never merged with these. 0 when the
    // values never changed (nothing recorded).
    int valuesVersion = 0;
    // Where the program records where each piece lies in the scan (formatPiecePlaces); empty
    // when it records none.
    std::string placesFile;
};

// Every file of the folder that a measurement or the batch writes: the program's, the
// thumbnail, the batch's texts, and `scanName`'s pieces and their thumbnails present in the
// folder. Nothing else in the folder is ever touched.
std::vector<std::string> ownedFiles(const std::filesystem::path& folder,
                                    const std::string& scanName, const FolderLayout& layout);

// The thumbnail of the piece numbered `n`, relative to the scan's folder.
std::string pieceThumbnailFile(int n);

// Creates the folder and removes every owned file, so that nothing of an earlier run can be
// taken for this one's (the folders of the pieces go too once empty); what went wrong, in
// French, when it cannot.
std::optional<std::string> clearScanFolder(const std::filesystem::path& folder,
                                           const std::string& scanName, const FolderLayout& layout);

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
std::string formatStatedResolution(const input::StatedResolution& stated);
std::optional<input::StatedResolution> parseStatedResolution(const std::string& text);
// Kept from `scan`'s header, when it states one; false when it cannot be written.
bool keepStatedResolution(const std::filesystem::path& folder, const std::filesystem::path& scan);

// What the program records having measured with: the resolution ("dpi 1200") and the version
// of its values ("version_des_valeurs 2"). The resolution is read as any positive number, as
// older versions may have written one; without a version, the values are of version 1.
struct MeasuredWith {
    input::Dpi dpi;
    int valuesVersion = 1;
    bool operator==(const MeasuredWith& other) const {
        return dpi == other.dpi && valuesVersion == other.valuesVersion;
    }
};
std::string formatDpiFile(const MeasuredWith& measured);
std::optional<MeasuredWith> parseDpiFile(const std::string& text);

// Where a piece lies in its scan: the centre of its rectangle, in pixels of the scan, whether
// it touches the scan's border, and the share of the scan within its outline (0 to 1). One line
// each, in the order of the pieces: "0 523.5 611.25 0 0.0312".
struct PiecePlace {
    double x = 0;
    double y = 0;
    bool touchesBorder = false;
    double shareOfScan = 0;
};
std::string formatPiecePlaces(const std::vector<PiecePlace>& places);
std::optional<std::vector<PiecePlace>> parsePiecePlaces(const std::string& text);
// The layout's places file of the folder, as read; none when absent or not whole.
std::optional<std::vector<PiecePlace>> readPiecePlaces(const std::filesystem::path& folder,
                                                       const FolderLayout& layout);

// One scan's folder as read.
struct ScanResult {
    std::string scanName;
    std::optional<int> exitStatus;                  // none: no status (interrupted or running)
    std::optional<std::vector<std::string>> cells;  // none unless status 0 and a whole report
    // The owned files present; the thumbnail only when as new as the overview it shows.
    std::vector<std::string> files;
    std::string firstErrorLines;  // of erreurs.txt, for a scan not measured
    std::optional<input::StatedResolution> statedResolution;
    std::optional<input::Dpi> measuredDpi;  // as recorded, for a program that records it
    std::optional<int> valuesVersion;       // likewise (1 when the program recorded nothing)
    std::vector<PiecePlace> piecePlaces;    // as recorded; none when not
    bool measured() const { return exitStatus == 0 && cells.has_value(); }
    bool holds(const std::string& file) const;
};

// The resolution the scan was measured at: as its folder records it, or the layout's.
input::Dpi usedDpi(const ScanResult& result, const FolderLayout& layout);

// Its header states a credible resolution other than the one the scan was measured at.
bool statesOtherResolution(const ScanResult& result, const FolderLayout& layout);

// The resolution its header states (across), as the tables write it ("600"); empty when it
// states none, or was measured by a version that kept none.
std::string statedDpiCell(const ScanResult& result);

// Measured, with values to check: its header states another resolution.
bool measuredToCheck(const ScanResult& result, const FolderLayout& layout);

ScanResult readScanFolder(const std::filesystem::path& folder, const std::string& scanName,
                          const FolderLayout& layout);

// The thumbnail exists and is at least as new as its picture.
bool isThumbnailOf(const std::filesystem::path& thumbnail, const std::filesystem::path& picture);

// What a scan's folder holds, for a batch about to measure the scan.
enum class Standing {
    COMPLETE,          // status 0 for this very scan, its report whole, measured as asked
    INCOMPLETE,        // nothing, no status, a failure, a changed scan, a report not whole
    OTHER_RESOLUTION,  // complete, but measured at another resolution than the layout's
    OTHER_VERSION,     // status 0 for this very scan, but values of another version
};

struct StoredResult {
    Standing standing = Standing::INCOMPLETE;
    std::optional<MeasuredWith> measuredWith;  // as the folder records it
};

StoredResult storedResult(const std::filesystem::path& folder, const ScanFingerprint& scan,
                          const FolderLayout& layout);
bool holdsCompleteResult(const std::filesystem::path& folder, const ScanFingerprint& scan,
                         const FolderLayout& layout);

}  // namespace plantscan::stored
