// What leaflet_batch keeps in a scan's folder and gathers: petales.csv, the table, the crops
// cleared before a scan is cropped again, a result complete only at the resolution asked.
#include "leaflet_batch/leaflet_kind.h"
#include "leaflet_batch/leaflet_report.h"
#include "leaflet_batch/one_scan.h"
#include "stored/scan_folder.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace plantscan::input;
using namespace plantscan::leaflet_batch;
using namespace plantscan::stored;

namespace fs = std::filesystem;
using namespace test_support;

namespace {

const FolderLayout LAYOUT = leafletLayout();

plantscan::Leaflet leafletOf(double area, double length, double width, double perimeter) {
    plantscan::Leaflet leaflet;
    leaflet.area = area;
    leaflet.length = length;
    leaflet.width = width;
    leaflet.perimeter = perimeter;
    return leaflet;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

ScanResult result(const std::string& name, std::optional<int> status,
                  std::optional<std::vector<std::string>> cells) {
    ScanResult scan;
    scan.scanName = name;
    scan.exitStatus = status;
    scan.cells = std::move(cells);
    if (scan.measured()) scan.measuredDpi = Dpi{1200};
    return scan;
}

}  // namespace

TEST(LeafletReport, TwoDecimalsWithACommaReadBackAndNothingButAWholeReport) {
    const std::string report = formatLeafletReport(
        {leafletOf(107.2749, 19.0649, 8.0612, 45.4), leafletOf(75.371, 16.95, 6.369, 39.3549)});
    EXPECT_EQ(report,
              "P\xC3\xA9tale;Aire (mm\xC2\xB2);Longueur (mm);Largeur (mm);P\xC3\xA9rim\xC3\xA8tre "
              "(mm)\r\n0;107,27;19,06;8,06;45,4\r\n1;75,37;16,95;6,37;39,35\r\n");
    EXPECT_EQ(parseLeafletReport(report),
              (std::vector<std::string>{"107,27", "19,06", "8,06", "45,4", "75,37", "16,95", "6,37",
                                        "39,35"}));
    // A scan without a leaflet: the header alone.
    EXPECT_EQ(parseLeafletReport(formatLeafletReport({})), std::vector<std::string>{});

    EXPECT_FALSE(parseLeafletReport(""));
    EXPECT_FALSE(parseLeafletReport(report.substr(0, report.size() - 1)));   // cut short
    EXPECT_FALSE(parseLeafletReport(replaced(report, "\r\n1;", "\r\n2;")));  // renumbered
    EXPECT_FALSE(parseLeafletReport(replaced(report, ";45,4", ";45,4;1")));
    EXPECT_FALSE(parseLeafletReport(replaced(report, ";8,06", ";")));
    EXPECT_FALSE(parseLeafletReport(replaced(report, "8,06", "8\n06")));
    EXPECT_FALSE(parseLeafletReport(replaced(report, "Aire", "Surface")));
}

TEST(LeafletTable, ARowPerLeafletWithItsCropAndOneForAFailedOrEmptyScan) {
    const std::vector<ScanResult> results{
        result("a;1.jpg", 0, std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}),
        result("vide.jpg", 0, std::vector<std::string>{}),
        result("casse.jpg", 2, std::nullopt),
        result("coupe.jpg", std::nullopt, std::nullopt),
    };
    const std::string table = leafletTable(results, LAYOUT);
    EXPECT_EQ(table,
              "Scan;Statut;P\xC3\xA9tale;Image;Aire (mm\xC2\xB2);Longueur (mm);Largeur "
              "(mm);P\xC3\xA9rim\xC3\xA8tre (mm);R\xC3\xA9solution (dpi)\r\n"
              "\"a;1.jpg\";0;0;\"a;1.jpg/PETALES/a;1.jpg_0.jpg\";1;2;3;4;1200\r\n"
              "\"a;1.jpg\";0;1;\"a;1.jpg/PETALES/a;1.jpg_1.jpg\";5;6;7;8;1200\r\n"
              "vide.jpg;0;;;;;;;1200\r\n"
              "casse.jpg;2;;;;;;;\r\n"
              "coupe.jpg;;;;;;;;\r\n");
}

TEST(LeafletFolder, ClearedOfEveryCropAndThumbnailOfItsScanAndOfNothingElse) {
    TestFolder root("leaflet_batch_clear");
    const fs::path folder = root.path() / "a.jpg";
    for (const char* file :
         {"PETALES/a.jpg_0.jpg", "PETALES/a.jpg_1.jpg", "PETALES/a.jpg_12.jpg", "vignettes/0.jpg",
          "vignettes/12.jpg", "drawing.jpg", "petales.csv", "dpi.txt", "statut.txt",
          // Not the batch's: another scan's crop, a number written otherwise, the user's notes.
          "PETALES/b.jpg_0.jpg", "PETALES/a.jpg_01.jpg", "PETALES/a.jpg_x.jpg", "notes.txt"}) {
        fs::create_directories((folder / file).parent_path());
        writeBytes(folder / file, "x");
    }
    ASSERT_FALSE(clearScanFolder(folder, "a.jpg", LAYOUT));
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        left.push_back(fs::relative(entry.path(), folder).generic_string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"PETALES", "PETALES/a.jpg_01.jpg", "PETALES/a.jpg_x.jpg",
                                        "PETALES/b.jpg_0.jpg", "notes.txt"}));

    // With nothing of the user's there, no folder of crops is left, as after a lone run that
    // found no leaflet.
    for (const char* file : {"PETALES/a.jpg_01.jpg", "PETALES/a.jpg_x.jpg", "PETALES/b.jpg_0.jpg"})
        fs::remove(folder / file);
    writeBytes(folder / "PETALES/a.jpg_0.jpg", "x");
    ASSERT_FALSE(clearScanFolder(folder, "a.jpg", LAYOUT));
    EXPECT_FALSE(fs::exists(folder / "PETALES"));
}

TEST(LeafletFolder, CompleteOnlyWhenMeasuredAtTheResolutionAsked) {
    TestFolder root("leaflet_batch_dpi");
    const fs::path scan = root.path() / "a.jpg";
    writeBytes(scan, "pixels");
    const ScanFingerprint fingerprint = *fingerprintScan(scan);
    const fs::path folder = root.path() / "out";
    fs::create_directories(folder);
    writeBytes(folder / LEAFLET_REPORT, formatLeafletReport({leafletOf(1, 2, 1, 6)}));
    ASSERT_TRUE(writeStatus(folder, {0, fingerprint}));

    FolderLayout at600 = LAYOUT;
    at600.scanDpi = Dpi{600};
    EXPECT_FALSE(holdsCompleteResult(folder, fingerprint, LAYOUT));  // no resolution recorded
    writeBytes(folder / DPI_FILE, formatDpiFile(Dpi{1200}));
    EXPECT_TRUE(holdsCompleteResult(folder, fingerprint, LAYOUT));
    EXPECT_FALSE(holdsCompleteResult(folder, fingerprint, at600));
    writeBytes(folder / DPI_FILE, formatDpiFile(Dpi{600}));
    EXPECT_EQ(readBytes(folder / DPI_FILE), "dpi 600\n");
    EXPECT_TRUE(holdsCompleteResult(folder, fingerprint, at600));
    EXPECT_EQ(readScanFolder(folder, "a.jpg", LAYOUT).measuredDpi, Dpi{600});
    // As an older single-scan mode, which took any number, may have written it.
    writeBytes(folder / DPI_FILE, "dpi 600.5\n");
    EXPECT_EQ(readScanFolder(folder, "a.jpg", LAYOUT).measuredDpi, Dpi{600.5});
    EXPECT_FALSE(holdsCompleteResult(folder, fingerprint, at600));
}

TEST(LeafletPage, ContactSheetLinksEachCropByItsEncodedPathAndFramesTheLeafletThatStandsOut) {
    // Five leaflets alike and one twice as long, on a scan whose name needs escaping.
    const std::string name = "<i>&#% 1.jpg";
    std::vector<std::string> cells;
    for (const char* length : {"20", "20,5", "19,5", "20,2", "19,8", "41"})
        for (const char* value : {"100", length, "8", "50"}) cells.push_back(value);
    std::vector<ScanResult> results{result(name, 0, cells), result("vide.jpg", 0, {{}})};
    for (int n = 0; n < 6; ++n) results[0].files.push_back(pieceThumbnailFile(n));
    const std::string page =
        leafletResultsPage(results, LAYOUT, {"leaflet_batch", LEAFLET_TABLE_FILE, true, {}});

    EXPECT_EQ(page.find("<i>"), std::string::npos);
    const std::string folder = "%3Ci%3E%26%23%25%201.jpg";
    EXPECT_NE(page.find("href=\"" + folder + "/PETALES/" + folder + "_5.jpg\""), std::string::npos);
    EXPECT_NE(page.find("src=\"" + folder + "/vignettes/5.jpg\""), std::string::npos);
    const std::size_t marked =
        page.find("<figure id=\"scan-0-petale-5\" class=\"marque\" title=\"");
    ASSERT_NE(marked, std::string::npos);
    EXPECT_NE(page.find("Longueur — Hors série : 41 mm", marked), std::string::npos);
    EXPECT_EQ(page.find("<figure id=\"scan-0-petale-4\" class"), std::string::npos);
    EXPECT_NE(page.find("Aucun pétale trouvé à 1200 dpi."), std::string::npos);
}

TEST(LeafletHelp, TheDocsCopyIsTheProgramsOwn) {
    EXPECT_EQ(
        textBlockUnder(fs::path(DOCS_FOLDER) / "leaflet_batch.md", "## `leaflet_batch --help`"),
        leafletHelpText())
        << "copy `leaflet_batch --help` into docs/leaflet_batch.md";
}
