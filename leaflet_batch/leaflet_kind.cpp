#include "leaflet_batch/leaflet_kind.h"

#include "batch/processes.h"
#include "leaflet_batch/leaflet_report.h"
#include "leaflet_batch/one_scan.h"
#include "leaflet_crop/output_files.h"
#include "plantscan/leaflets.h"
#include "platform/paths.h"
#include "stored/table.h"

#include <cmath>

namespace plantscan::leaflet_batch {

namespace fs = std::filesystem;

namespace {

// The batch runs itself on each scan, in its single-scan mode.
std::optional<fs::path> findItself() {
    const fs::path self = batch::ownExecutable();
    if (self.empty()) return std::nullopt;
    return self;
}

std::vector<std::string> singleScanArguments(const fs::path& scan, input::Dpi dpi) {
    return {SINGLE_SCAN_OPTION, platform::utf8FromPath(scan), "--dpi", input::dpiText(dpi)};
}

std::size_t leafletCount(const stored::ScanResult& result) {
    return result.measured() ? result.cells->size() / LEAFLET_CELLS : 0;
}

}  // namespace

stored::FolderLayout leafletLayout() {
    stored::FolderLayout layout;
    layout.program = std::string("leaflet_batch ") + SINGLE_SCAN_OPTION;
    layout.programFiles = {{leaflet::DRAWING_FILE, "pétales trouvés"},
                           {leaflet::BLACK_AND_WHITE_FILE, "seuil"},
                           {leaflet::GRAY_FILE, "gris"},
                           {LEAFLET_REPORT, LEAFLET_REPORT}};
    layout.report = LEAFLET_REPORT;
    layout.parseReport = parseLeafletReport;
    layout.overview = leaflet::DRAWING_FILE;
    layout.scanDpi = input::Dpi{plantscan::DEFAULT_DPI};
    layout.statusWords = {{CROPPED, "découpe et mesure complètes"},
                          {UNREADABLE, "scan absent ou illisible"},
                          {WRITE_FAILED, "un fichier n'a pas pu être écrit"},
                          {FAILED, "erreur d'OpenCV ou mémoire épuisée"}};
    layout.piecesFolder = leaflet::CROPS_FOLDER;
    layout.pieceFile = leaflet::cropFileName;
    layout.dpiFile = DPI_FILE;
    layout.reportHoldsAreas = true;
    layout.valuesVersion = LEAFLET_VALUES_VERSION;
    layout.placesFile = PLACES_FILE;
    return layout;
}

std::string leafletTable(const std::vector<stored::ScanResult>& results,
                         const stored::FolderLayout& layout) {
    // The stated resolution last, after the columns of earlier versions.
    std::string text = "Scan;Statut;Pétale;Image;" +
                       leafletColumnNames(0, VALUES_BEFORE_RESOLUTION) + "Résolution (dpi);" +
                       leafletColumnNames(VALUES_BEFORE_RESOLUTION, LEAFLET_CELLS) +
                       stored::STATED_DPI_COLUMN + "\r\n";
    for (const stored::ScanResult& result : results) {
        const std::string scan = stored::quoteCell(result.scanName) + ";" +
                                 (result.exitStatus ? std::to_string(*result.exitStatus) : "");
        const std::string dpi =
            result.measured() && result.measuredDpi ? input::dpiText(*result.measuredDpi) : "";
        const std::string end = ";" + stored::statedDpiCell(result) + "\r\n";
        const std::size_t count = leafletCount(result);
        // No leaflet: its number, crop and values empty.
        if (count == 0) {
            text += scan + std::string(2 + VALUES_BEFORE_RESOLUTION + 1, ';') + dpi +
                    std::string(LEAFLET_CELLS - VALUES_BEFORE_RESOLUTION, ';') + end;
        }
        for (std::size_t n = 0; n < count; ++n) {
            text += scan + ";" + std::to_string(n) + ";" +
                    stored::quoteCell(result.scanName + "/" +
                                      layout.pieceFile(result.scanName, static_cast<int>(n)));
            for (std::size_t v = 0; v < LEAFLET_CELLS; ++v) {
                if (v == VALUES_BEFORE_RESOLUTION) text += ";" + dpi;
                text += ";" + (*result.cells)[n * LEAFLET_CELLS + v];
            }
            text += end;
        }
    }
    return text;
}

std::string unlikeALeaflet(const stored::ScanResult& result, std::size_t n) {
    if (!result.measured() || n >= result.piecePlaces.size() || n >= leafletCount(result))
        return "";
    const stored::PiecePlace& place = result.piecePlaces[n];
    if (place.shareOfScan > MOST_OF_THE_SCAN)
        return "couvre " + std::to_string(std::lround(place.shareOfScan * 100)) + " % de l'image";
    return place.touchesBorder ? "touche le bord de l'image" : "";
}

std::string noLeafScanWords(const stored::ScanResult& result) {
    std::vector<std::size_t> flagged;
    bool covering = false;
    for (std::size_t n = 0; n < leafletCount(result); ++n) {
        if (unlikeALeaflet(result, n).empty()) continue;
        flagged.push_back(n);
        covering = covering || result.piecePlaces[n].shareOfScan > MOST_OF_THE_SCAN;
    }
    if (flagged.empty()) return "";
    if (covering) {
        return "un « pétale » couvre la plus grande partie de l'image : fond clair, ou ce n'est "
               "pas une planche de pétales sur fond sombre";
    }
    std::string numbers;
    for (std::size_t i = 0; i < flagged.size(); ++i) {
        numbers += (i == 0                    ? ""
                    : i + 1 == flagged.size() ? " et "
                                              : ", ") +
                   std::to_string(flagged[i]);
    }
    return (flagged.size() == 1 ? "le pétale " + numbers + " touche"
                                : "les pétales " + numbers + " touchent") +
           " le bord de l'image : pétale coupé par le bord, fond clair, ou ce n'est pas une "
           "planche de pétales sur fond sombre";
}

std::vector<std::string> leafletSummary(const std::vector<stored::ScanResult>& results,
                                        const stored::FolderLayout&) {
    std::size_t leaflets = 0;
    std::string without;
    std::vector<std::string> flagged;
    for (const stored::ScanResult& result : results) {
        leaflets += leafletCount(result);
        if (result.measured() && leafletCount(result) == 0)
            without += (without.empty() ? "" : ", ") + result.scanName;
        const std::string words = noLeafScanWords(result);
        if (!words.empty()) flagged.push_back("« " + result.scanName + " » : " + words + ".");
    }
    std::vector<std::string> lines{std::to_string(leaflets) + " pétale(s)" +
                                   (without.empty() ? "" : " ; sans pétale : " + without)};
    lines.insert(lines.end(), flagged.begin(), flagged.end());
    return lines;
}

batch::BatchKind leafletBatch() {
    // In the order of BatchKind's fields, as sectionBatch gives them.
    return {"leaflet_batch",
            "resultats_petales",
            leafletLayout(),
            resources::LEAFLET_CROP_NEED,
            true,
            true,
            leafletHelpText,
            findItself,
            singleScanArguments,
            LEAFLET_TABLE_FILE,
            leafletTable,
            leafletResultsPage,
            leafletSummary};
}

}  // namespace plantscan::leaflet_batch
