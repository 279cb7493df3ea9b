#include "leaflet_batch/leaflet_kind.h"

#include "batch/processes.h"
#include "leaflet_batch/leaflet_report.h"
#include "leaflet_batch/one_scan.h"
#include "plantscan/leaflets.h"
#include "platform/paths.h"
#include "results/table.h"

namespace fs = std::filesystem;

namespace {

// The batch runs itself on each scan, in its single-scan mode.
std::optional<fs::path> findItself() {
    const fs::path self = ownExecutable();
    if (self.empty()) return std::nullopt;
    return self;
}

std::vector<std::string> singleScanArguments(const fs::path& scan, Dpi dpi) {
    return {SINGLE_SCAN_OPTION, utf8FromPath(scan), "--dpi", dpiText(dpi)};
}

std::size_t leafletCount(const ScanResult& result) {
    return result.measured() ? result.cells->size() / LEAFLET_CELLS : 0;
}

}  // namespace

FolderLayout leafletLayout() {
    FolderLayout layout;
    layout.program = std::string("leaflet_batch ") + SINGLE_SCAN_OPTION;
    layout.programFiles = {{"drawing.jpg", "pétales trouvés"},
                           {"bw.jpg", "seuil"},
                           {"gray.bmp", "gris"},
                           {LEAFLET_REPORT, LEAFLET_REPORT}};
    layout.report = LEAFLET_REPORT;
    layout.parseReport = parseLeafletReport;
    layout.overview = "drawing.jpg";
    layout.scanDpi = Dpi{plantscan::DEFAULT_DPI};
    layout.statusWords = {{CROPPED, "découpe et mesure complètes"},
                          {UNREADABLE, "image absente ou illisible"},
                          {WRITE_FAILED, "un fichier n'a pas pu être écrit"},
                          {FAILED, "erreur d'OpenCV ou mémoire épuisée"}};
    layout.piecesFolder = CROPS_FOLDER;
    layout.dpiFile = DPI_FILE;
    return layout;
}

std::string leafletTable(const std::vector<ScanResult>& results, const FolderLayout& layout) {
    std::string text =
        std::string("Scan;Statut;Pétale;Image;") + LEAFLET_COLUMNS + ";Résolution (dpi)\r\n";
    for (const ScanResult& result : results) {
        const std::string scan = quoteCell(result.scanName) + ";" +
                                 (result.exitStatus ? std::to_string(*result.exitStatus) : "");
        const std::string dpi =
            result.measured() && result.measuredDpi ? dpiText(*result.measuredDpi) : "";
        const std::size_t count = leafletCount(result);
        // No leaflet: its number, crop and values empty.
        if (count == 0) text += scan + std::string(2 + LEAFLET_CELLS + 1, ';') + dpi + "\r\n";
        for (std::size_t n = 0; n < count; ++n) {
            text += scan + ";" + std::to_string(n) + ";" +
                    quoteCell(result.scanName + "/" +
                              pieceFile(layout, result.scanName, static_cast<int>(n)));
            for (std::size_t v = 0; v < LEAFLET_CELLS; ++v)
                text += ";" + (*result.cells)[n * LEAFLET_CELLS + v];
            text += ";" + dpi + "\r\n";
        }
    }
    return text;
}

std::string leafletSummary(const std::vector<ScanResult>& results, const FolderLayout&) {
    std::size_t leaflets = 0;
    std::string without;
    for (const ScanResult& result : results) {
        leaflets += leafletCount(result);
        if (result.measured() && leafletCount(result) == 0)
            without += (without.empty() ? "" : ", ") + result.scanName;
    }
    return std::to_string(leaflets) + " pétale(s)" +
           (without.empty() ? "" : " ; sans pétale : " + without);
}

BatchKind leafletBatch() {
    BatchKind kind;
    kind.name = "leaflet_batch";
    kind.defaultOutFolder = "resultats_petales";
    kind.layout = leafletLayout();
    kind.need = LEAFLET_CROP_NEED;
    kind.takesDpi = true;
    kind.runsUpdateHook = true;
    kind.help = leafletHelpText;
    kind.findChild = findItself;
    kind.childArguments = singleScanArguments;
    kind.tableFile = LEAFLET_TABLE_FILE;
    kind.table = leafletTable;
    kind.page = leafletResultsPage;
    kind.summaryNote = leafletSummary;
    return kind;
}
