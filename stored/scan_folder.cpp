#include "stored/scan_folder.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/system_errors.h"
#include "resources/resources.h"
#include "stored/atomic_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <locale>
#include <map>
#include <sstream>
#include <system_error>

namespace plantscan::stored {

namespace fs = std::filesystem;

namespace {

constexpr int ERROR_LINES_SHOWN = 5;
constexpr std::size_t ERROR_LINE_BYTES = 300;

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

std::optional<std::vector<std::string>> readReport(const fs::path& path,
                                                   const FolderLayout& layout) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    return layout.parseReport(resources::readSmallFile(path));
}

// The n whose file `name(n)` is `file`, n written as the programs write an int: the naming
// rule read backwards, so that it is written once.
std::optional<int> numberNamed(const std::string& file,
                               const std::function<std::string(int)>& name) {
    const char* digits = "0123456789";
    for (std::size_t at = file.find_first_of(digits); at != std::string::npos;
         at = file.find_first_of(digits, at)) {
        const std::size_t end = std::min(file.find_first_not_of(digits, at), file.size());
        const std::string run = file.substr(at, end - at);
        if (run.size() <= 9 && (run.size() == 1 || run[0] != '0') && name(std::stoi(run)) == file)
            return std::stoi(run);
        at = end;
    }
    return std::nullopt;
}

// The files of `subfolder` that `name` gives a number, as paths relative to `folder`, in the
// order of their numbers.
std::vector<std::string> numberedFiles(const fs::path& folder, const std::string& subfolder,
                                       const std::function<std::string(int)>& name) {
    std::map<int, std::string> found;
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(folder / platform::pathFromUtf8(subfolder), error)) {
        const std::string file = subfolder + "/" + platform::utf8FromPath(entry.path().filename());
        const std::optional<int> n = numberNamed(file, name);
        if (n && entry.is_regular_file(error)) found[*n] = file;
    }
    std::vector<std::string> files;
    for (const auto& [n, file] : found) files.push_back(file);
    return files;
}

}  // namespace

std::string pieceThumbnailFile(int n) {
    return std::string(PIECE_THUMBNAILS) + "/" + std::to_string(n) + ".jpg";
}

std::vector<std::string> ownedFiles(const fs::path& folder, const std::string& scanName,
                                    const FolderLayout& layout) {
    std::vector<std::string> files;
    for (const ProgramFile& file : layout.programFiles) files.push_back(file.name);
    for (const std::string& file : {layout.dpiFile, layout.placesFile})
        if (!file.empty()) files.push_back(file);
    for (const char* file :
         {THUMBNAIL_FILE, CONSOLE_FILE, ERRORS_FILE, RESOLUTION_FILE, STATUS_FILE})
        files.push_back(file);
    if (layout.piecesFolder.empty()) return files;
    const auto piece = [&](int n) { return layout.pieceFile(scanName, n); };
    for (const std::string& file : numberedFiles(folder, layout.piecesFolder, piece))
        files.push_back(file);
    for (const std::string& file : numberedFiles(folder, PIECE_THUMBNAILS, pieceThumbnailFile))
        files.push_back(file);
    return files;
}

std::optional<std::string> clearScanFolder(const fs::path& folder, const std::string& scanName,
                                           const FolderLayout& layout) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        return "impossible de créer le dossier « " + platform::utf8FromPath(folder) +
               " » : " + platform::frenchErrorWords(error);
    }
    for (const std::string& file : ownedFiles(folder, scanName, layout)) {
        fs::remove(folder / platform::pathFromUtf8(file), error);
        if (error) {
            return "impossible d'effacer « " +
                   platform::utf8FromPath(folder / platform::pathFromUtf8(file)) +
                   " » : " + platform::frenchErrorWords(error);
        }
    }
    // As a lone run leaves them: no folder of pieces for a scan without any. Files of your own
    // there keep theirs.
    if (!layout.piecesFolder.empty()) {
        for (const std::string& subfolder : {layout.piecesFolder, std::string(PIECE_THUMBNAILS)}) {
            if (fs::is_empty(folder / subfolder, error)) fs::remove(folder / subfolder, error);
        }
    }
    return std::nullopt;
}

std::optional<ScanFingerprint> fingerprintScan(const fs::path& scan) {
    const std::optional<platform::FileStamp> stamp = platform::fileStamp(scan);
    if (!stamp) return std::nullopt;
    return ScanFingerprint{stamp->size, stamp->modifiedNs};
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
    return parseStatus(resources::readSmallFile(folder / STATUS_FILE));
}

std::string formatStatedResolution(const input::StatedResolution& stated) {
    std::ostringstream text;
    text << "dpi_x " << stated.x << "\ndpi_y " << stated.y << "\n";
    return text.str();
}

std::optional<input::StatedResolution> parseStatedResolution(const std::string& text) {
    std::istringstream in(text);
    std::string xKey, yKey, rest;
    input::StatedResolution stated{};
    if (!(in >> xKey >> stated.x >> yKey >> stated.y) || xKey != "dpi_x" || yKey != "dpi_y" ||
        (in >> rest) || !(stated.x > 0) || !(stated.y > 0) || !std::isfinite(stated.x) ||
        !std::isfinite(stated.y)) {
        return std::nullopt;
    }
    return stated;
}

std::string formatDpiFile(const MeasuredWith& measured) {
    return "dpi " + input::dpiText(measured.dpi) + "\nversion_des_valeurs " +
           std::to_string(measured.valuesVersion) + "\n";
}

std::optional<MeasuredWith> parseDpiFile(const std::string& text) {
    std::istringstream in(text);
    std::string key, versionKey, rest;
    double dpi = 0;
    MeasuredWith measured;
    if (!(in >> key >> dpi) || key != "dpi" || !(dpi > 0) || !std::isfinite(dpi))
        return std::nullopt;
    measured.dpi = input::Dpi{dpi};
    if (in >> versionKey) {
        if (versionKey != "version_des_valeurs" || !(in >> measured.valuesVersion) ||
            measured.valuesVersion < 1)
            return std::nullopt;
    }
    if (in >> rest) return std::nullopt;
    return measured;
}

std::string formatPiecePlaces(const std::vector<PiecePlace>& places) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    for (std::size_t n = 0; n < places.size(); ++n) {
        text << n << " " << places[n].x << " " << places[n].y << " "
             << (places[n].touchesBorder ? 1 : 0) << " " << places[n].shareOfScan << "\n";
    }
    return text.str();
}

std::optional<std::vector<PiecePlace>> parsePiecePlaces(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    std::vector<PiecePlace> places;
    std::size_t n = 0;
    while (in >> n) {
        PiecePlace place;
        int border = 0;
        if (n != places.size() || !(in >> place.x >> place.y >> border >> place.shareOfScan) ||
            (border != 0 && border != 1) || !std::isfinite(place.x) || !std::isfinite(place.y) ||
            !(place.shareOfScan >= 0 && place.shareOfScan <= 1))
            return std::nullopt;
        place.touchesBorder = border == 1;
        places.push_back(place);
    }
    if (!in.eof()) return std::nullopt;
    return places;
}

std::optional<std::vector<PiecePlace>> readPiecePlaces(const fs::path& folder,
                                                       const FolderLayout& layout) {
    std::error_code error;
    if (layout.placesFile.empty() || !fs::is_regular_file(folder / layout.placesFile, error))
        return std::nullopt;
    return parsePiecePlaces(resources::readSmallFile(folder / layout.placesFile));
}

bool keepStatedResolution(const fs::path& folder, const fs::path& scan) {
    const std::optional<input::StatedResolution> stated = input::readStatedResolution(scan);
    return !stated ||
           writeFileAtomically(folder / RESOLUTION_FILE, formatStatedResolution(*stated));
}

bool ScanResult::holds(const std::string& file) const {
    return std::find(files.begin(), files.end(), file) != files.end();
}

input::Dpi usedDpi(const ScanResult& result, const FolderLayout& layout) {
    return result.measuredDpi.value_or(layout.scanDpi);
}

bool statesOtherResolution(const ScanResult& result, const FolderLayout& layout) {
    return result.statedResolution &&
           input::resolutionDiffers(*result.statedResolution, usedDpi(result, layout));
}

std::string statedDpiCell(const ScanResult& result) {
    return result.statedResolution ? input::statedDpiCell(result.statedResolution->x) : "";
}

bool measuredToCheck(const ScanResult& result, const FolderLayout& layout) {
    return result.measured() && statesOtherResolution(result, layout);
}

ScanResult readScanFolder(const fs::path& folder, const std::string& scanName,
                          const FolderLayout& layout) {
    ScanResult result;
    result.scanName = scanName;
    if (const std::optional<ScanStatus> status = readStatus(folder)) {
        result.exitStatus = status->exitStatus;
        if (status->exitStatus == 0) result.cells = readReport(folder / layout.report, layout);
    }
    std::error_code error;
    for (const std::string& file : ownedFiles(folder, scanName, layout)) {
        if (fs::is_regular_file(folder / platform::pathFromUtf8(file), error))
            result.files.push_back(file);
    }
    // A thumbnail older than its picture, or without it, shows something else.
    const auto dropStale = [&](const std::string& thumbnail, const std::string& picture) {
        if (!result.holds(thumbnail) || isThumbnailOf(folder / platform::pathFromUtf8(thumbnail),
                                                      folder / platform::pathFromUtf8(picture)))
            return;
        result.files.erase(std::find(result.files.begin(), result.files.end(), thumbnail));
    };
    dropStale(THUMBNAIL_FILE, layout.overview);
    const std::vector<std::string> present = result.files;
    for (const std::string& file : present) {
        if (const std::optional<int> n = numberNamed(file, pieceThumbnailFile))
            dropStale(file, layout.pieceFile(scanName, *n));
    }
    if (!layout.dpiFile.empty() && result.holds(layout.dpiFile)) {
        if (const std::optional<MeasuredWith> measured =
                parseDpiFile(resources::readSmallFile(folder / layout.dpiFile))) {
            result.measuredDpi = measured->dpi;
            result.valuesVersion = measured->valuesVersion;
        }
    } else if (!layout.dpiFile.empty()) {
        result.valuesVersion = 1;  // before anything was recorded
    }
    if (result.holds(layout.placesFile))
        result.piecePlaces = readPiecePlaces(folder, layout).value_or(std::vector<PiecePlace>{});
    if (!result.measured()) {
        result.firstErrorLines = firstLines(readStart(folder / ERRORS_FILE, 4096));
    }
    if (result.holds(RESOLUTION_FILE)) {
        result.statedResolution =
            parseStatedResolution(resources::readSmallFile(folder / RESOLUTION_FILE));
    }
    return result;
}

StoredResult storedResult(const fs::path& folder, const ScanFingerprint& scan,
                          const FolderLayout& layout) {
    StoredResult stored;
    const std::optional<ScanStatus> status = readStatus(folder);
    if (!status || status->exitStatus != 0 || !(status->scan == scan)) return stored;
    std::error_code error;
    if (!layout.dpiFile.empty() && fs::is_regular_file(folder / layout.dpiFile, error)) {
        stored.measuredWith = parseDpiFile(resources::readSmallFile(folder / layout.dpiFile));
        if (!stored.measuredWith) return stored;
    }
    // Before anything was recorded, the values were of version 1 and the resolution unknown.
    const int version = stored.measuredWith ? stored.measuredWith->valuesVersion : 1;
    if (layout.valuesVersion != 0 && version != layout.valuesVersion) {
        stored.standing = Standing::OTHER_VERSION;
        return stored;
    }
    if (!readReport(folder / layout.report, layout) ||
        (!layout.dpiFile.empty() && !stored.measuredWith))
        return stored;
    stored.standing = layout.dpiFile.empty() || stored.measuredWith->dpi == layout.scanDpi
                          ? Standing::COMPLETE
                          : Standing::OTHER_RESOLUTION;
    return stored;
}

bool holdsCompleteResult(const fs::path& folder, const ScanFingerprint& scan,
                         const FolderLayout& layout) {
    return storedResult(folder, scan, layout).standing == Standing::COMPLETE;
}

bool isThumbnailOf(const fs::path& thumbnail, const fs::path& picture) {
    // The system's own stamps: libstdc++ tells Windows' modification times to the second only.
    const std::optional<platform::FileStamp> pictureStamp = platform::fileStamp(picture);
    const std::optional<platform::FileStamp> thumbnailStamp = platform::fileStamp(thumbnail);
    return pictureStamp && thumbnailStamp && thumbnailStamp->modifiedNs >= pictureStamp->modifiedNs;
}

}  // namespace plantscan::stored
