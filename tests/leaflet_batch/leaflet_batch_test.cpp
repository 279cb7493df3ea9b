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

TEST(LeafletReport, EachValueRoundedToItsDecimalsWithACommaReadBackAndNothingButAWholeReport) {
    plantscan::Leaflet shaped = leafletOf(107.2749, 19.0649, 8.0612, 45.4);
    shaped.feretMax = 19.3349;
    shaped.feretMin = 7.996;
    shaped.circularity = 0.65349;
    shaped.solidity = 0.9876;
    shaped.lStar = 71.234;
    shaped.aStar = -20.5;
    shaped.bStar = 3.004;
    plantscan::Leaflet gray = leafletOf(75.371, 16.95, 6.369, 39.3549);
    gray.aStar = -0.004;  // written 0, not -0
    const std::string report = formatLeafletReport({shaped, gray});
    EXPECT_EQ(report,
              "P\xC3\xA9tale;Aire (mm\xC2\xB2);Longueur (mm);Largeur (mm);P\xC3\xA9rim\xC3\xA8tre "
              "(mm);Feret max (mm);Feret min (mm);Circularit\xC3\xA9;Solidit\xC3\xA9;L*;a*;b*\r\n"
              "0;107,27;19,06;8,06;45,4;19,33;8;0,653;0,988;71,23;-20,5;3\r\n"
              "1;75,37;16,95;6,37;39,35;0;0;0;0;0;0;0\r\n");
    const std::optional<std::vector<std::string>> cells = parseLeafletReport(report);
    ASSERT_TRUE(cells);
    ASSERT_EQ(cells->size(), 2 * LEAFLET_CELLS);
    EXPECT_EQ((*cells)[0], "107,27");
    EXPECT_EQ((*cells)[9], "-20,5");
    EXPECT_EQ((*cells)[LEAFLET_CELLS + 3], "39,35");
    // A scan without a leaflet: the header alone.
    EXPECT_EQ(parseLeafletReport(formatLeafletReport({})), std::vector<std::string>{});

    EXPECT_FALSE(parseLeafletReport(""));
    EXPECT_FALSE(parseLeafletReport(report.substr(0, report.size() - 1)));   // cut short
    EXPECT_FALSE(parseLeafletReport(replaced(report, "\r\n1;", "\r\n2;")));  // renumbered
    EXPECT_FALSE(parseLeafletReport(replaced(report, ";3\r\n", ";3;1\r\n")));
    EXPECT_FALSE(parseLeafletReport(replaced(report, ";8,06", ";")));
    EXPECT_FALSE(parseLeafletReport(replaced(report, "8,06", "8\n06")));
    EXPECT_FALSE(parseLeafletReport(replaced(report, "Aire", "Surface")));
    // An earlier version's report, with four values a leaflet: not these values.
    EXPECT_FALSE(parseLeafletReport(
        "P\xC3\xA9tale;Aire (mm\xC2\xB2);Longueur (mm);Largeur (mm);P\xC3\xA9rim\xC3\xA8tre "
        "(mm)\r\n0;107,27;19,06;8,06;45,4\r\n"));
}

TEST(LeafletTable, ARowPerLeafletWithItsCropAndOneForAFailedOrEmptyScan) {
    std::vector<std::string> cells;
    for (int v = 1; v <= 2 * static_cast<int>(LEAFLET_CELLS); ++v)
        cells.push_back(std::to_string(v));
    std::vector<ScanResult> results{
        result("a;1.jpg", 0, cells),
        result("vide.jpg", 0, std::vector<std::string>{}),
        result("casse.jpg", 2, std::nullopt),
        result("coupe.jpg", std::nullopt, std::nullopt),
    };
    // The resolution each file states, last, on each of its rows, whatever the outcome.
    results[0].statedResolution = StatedResolution{600, 600};
    results[2].statedResolution = StatedResolution{299.72, 299.72};
    const std::string table = leafletTable(results, LAYOUT);
    // The values that came later follow the resolution, so that older columns keep their place;
    // the stated resolution is last.
    EXPECT_EQ(
        table,
        "Scan;Statut;P\xC3\xA9tale;Image;Aire (mm\xC2\xB2);Longueur (mm);Largeur "
        "(mm);P\xC3\xA9rim\xC3\xA8tre (mm);R\xC3\xA9solution (dpi);Feret max (mm);Feret min "
        "(mm);Circularit\xC3\xA9;Solidit\xC3\xA9;L*;a*;b*;R\xC3\xA9solution "
        "d\xC3\xA9"
        "clar\xC3\xA9"
        "e (dpi)\r\n"
        "\"a;1.jpg\";0;0;\"a;1.jpg/PETALES/a;1.jpg_0.jpg\";1;2;3;4;1200;5;6;7;8;9;10;11;600\r\n"
        "\"a;1.jpg\";0;1;\"a;1.jpg/PETALES/a;1.jpg_1.jpg\";12;13;14;15;1200;16;17;18;19;20;21;"
        "22;600\r\n"
        "vide.jpg;0;;;;;;;1200;;;;;;;;\r\n"
        "casse.jpg;2;;;;;;;;;;;;;;;299,72\r\n"
        "coupe.jpg;;;;;;;;;;;;;;;;\r\n");
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
    writeBytes(folder / DPI_FILE, formatDpiFile({Dpi{1200}, LEAFLET_VALUES_VERSION}));
    EXPECT_TRUE(holdsCompleteResult(folder, fingerprint, LAYOUT));
    EXPECT_EQ(storedResult(folder, fingerprint, at600).standing, Standing::OTHER_RESOLUTION);
    writeBytes(folder / DPI_FILE, formatDpiFile({Dpi{600}, LEAFLET_VALUES_VERSION}));
    EXPECT_EQ(readBytes(folder / DPI_FILE), "dpi 600\nversion_des_valeurs 2\n");
    EXPECT_TRUE(holdsCompleteResult(folder, fingerprint, at600));
    EXPECT_EQ(readScanFolder(folder, "a.jpg", LAYOUT).measuredDpi, Dpi{600});
    // As an older single-scan mode, which took any number, may have written it.
    writeBytes(folder / DPI_FILE, "dpi 600.5\n");
    EXPECT_EQ(readScanFolder(folder, "a.jpg", LAYOUT).measuredDpi, Dpi{600.5});
    EXPECT_FALSE(holdsCompleteResult(folder, fingerprint, at600));
    // Values of the version before, at the very resolution asked: measured again, whatever
    // report lies beside them.
    writeBytes(folder / DPI_FILE, "dpi 600\n");
    EXPECT_EQ(storedResult(folder, fingerprint, at600).standing, Standing::OTHER_VERSION);
    EXPECT_EQ(readScanFolder(folder, "a.jpg", LAYOUT).valuesVersion, 1);
    writeBytes(folder / DPI_FILE, "dpi 600\nversion_des_valeurs 0\n");
    EXPECT_FALSE(parseDpiFile(readBytes(folder / DPI_FILE)));
}

TEST(LeafletPage, ContactSheetLinksEachCropByItsEncodedPathAndFramesTheLeafletThatStandsOut) {
    // Five leaflets alike and one twice as long, on a scan whose name needs escaping.
    const std::string name = "<i>&#% 1.jpg";
    std::vector<std::string> cells;
    for (const char* length : {"20", "20,5", "19,5", "20,2", "19,8", "41"})
        for (const char* value :
             {"100", length, "8", "50", "41,5", "7,5", "0,6", "0,9", "70", "-20", "30"})
            cells.push_back(value);
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
    EXPECT_NE(page.find("<figcaption>5 · 100 mm²<br>41 × 8 mm</figcaption>"), std::string::npos);
}

TEST(LeafletSummary, NamesEachScanWhoseLeafletCoversItOrTouchesItsBorderAndMarksTheCard) {
    const auto with = [](const std::string& name, std::vector<PiecePlace> places) {
        ScanResult scan =
            result(name, 0, std::vector<std::string>(places.size() * LEAFLET_CELLS, "1"));
        scan.piecePlaces = std::move(places);
        return scan;
    };
    std::vector<ScanResult> results{
        with("blanc.jpg", {{300, 200, true, 0.996}}),
        with("bord.jpg", {{10, 10, false, 0.01}, {5, 10, true, 0.01}, {900, 10, true, 0.02}}),
        with("bon.jpg", {{10, 10, false, 0.01}}),
        // Measured before places were recorded: nothing to go by, nothing said.
        result("ancien.jpg", 0, std::vector<std::string>(LEAFLET_CELLS, "1")),
    };
    const std::vector<std::string> lines = leafletSummary(results, LAYOUT);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind("« blanc.jpg » : un « pétale » couvre la plus grande partie de "
                             "l'image : fond clair",
                             0),
              0u)
        << lines[1];
    EXPECT_EQ(lines[2].rfind("« bord.jpg » : les pétales 1 et 2 touchent le bord de l'image", 0),
              0u)
        << lines[2];

    const std::string page =
        leafletResultsPage(results, LAYOUT, {"leaflet_batch", LEAFLET_TABLE_FILE, true, {}});
    EXPECT_NE(page.find("<span class=\"marque\">couvre 100 % de l&#39;image</span>"),
              std::string::npos);
    EXPECT_NE(page.find("<figure id=\"scan-1-petale-2\" class=\"marque\" title=\"touche le bord"),
              std::string::npos);
    EXPECT_EQ(page.find("<figure id=\"scan-1-petale-0\" class"), std::string::npos);
    // On the cards of the two scans flagged, and of no other.
    std::size_t warnings = 0;
    for (std::size_t at = page.find("Attention : "); at != std::string::npos;
         at = page.find("Attention : ", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 2u);
}

TEST(LeafletHelp, TheDocsCopyIsTheProgramsOwn) {
    EXPECT_EQ(
        textBlockUnder(fs::path(DOCS_FOLDER) / "leaflet_batch.md", "## `leaflet_batch --help`"),
        leafletHelpText())
        << "copy `leaflet_batch --help` into docs/leaflet_batch.md";
}
