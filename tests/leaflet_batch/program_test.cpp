// leaflet_batch run as a user runs it, on a folder of generated leaf scans: one broken, one
// without a leaflet, one named with markup characters.
#include "support/run_program.h"
#include "support/test_files.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace plantscan::tools;

namespace fs = std::filesystem;
using namespace test_support;

namespace {

constexpr double MM_PER_PIXEL = 25.4 / 1200;

// Large leaves, as a scan at 1200 dpi holds them: a few centimetres long.
LeafletScanParams scanWith(std::vector<Leaf> leaves, std::uint64_t seed) {
    LeafletScanParams params;
    params.width = 2000;
    params.height = 1100;
    params.specks = 20;
    params.seed = seed;
    params.leaves = std::move(leaves);
    return params;
}

// Windows forbids "<" and ">" in a file name.
#ifdef _WIN32
const std::string MARKUP_SCAN = "&#x'i.jpg";
#else
const std::string MARKUP_SCAN = "<i>&#x.jpg";
#endif

const std::map<std::string, LeafletScanParams> SCANS{
    {"feuilles_2.jpg", scanWith({{{500, 550}, 900, 380, 20}, {{1450, 550}, 800, 300, -65}}, 1)},
    {"feuilles_10.png",
     scanWith({{{400, 500}, 700, 330, 90}, {{1000, 550}, 950, 420, 45}, {{1600, 500}, 600, 260, 0}},
              2)},
    {MARKUP_SCAN, scanWith({{{1000, 550}, 1000, 450, 135}}, 3)},
    {"vide.jpg", scanWith({}, 4)},
};

// Every file under `folder`, by its path relative to it.
std::map<std::string, std::string> filesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).generic_string()] = readBytes(entry.path());
    }
    return files;
}

// What a lone `leaflet_crop NAME` writes in a folder holding only the scan.
std::map<std::string, std::string> loneRun(const fs::path& scan, const fs::path& folder) {
    fs::create_directories(folder);
    fs::copy_file(scan, folder / scan.filename());
    RunOptions options;
    options.folder = folder;
    options.environment.emplace_back("PATH", folder.string());  // no update.bat there
    EXPECT_EQ(runProgram(LEAFLET_CROP_BINARY, {scan.filename().string()}, options).status, 0);
    fs::remove(folder / scan.filename());
    return filesUnder(folder);
}

// The table's rows after its header, each split at ";" (the scan names hold none).
std::vector<std::vector<std::string>> tableRows(const fs::path& table) {
    std::vector<std::vector<std::string>> rows;
    const std::string text = readBytes(table);
    for (std::size_t start = text.find("\r\n") + 2, end;
         (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        rows.push_back(splitCells(text.substr(start, end - start)));
    }
    return rows;
}

double cell(const std::string& text) {
    std::string number = text;
    std::replace(number.begin(), number.end(), ',', '.');
    return std::stod(number);
}

class LeafletBatchProgram : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(scans_);
        fs::create_directories(scripts_);
        for (const auto& [name, params] : SCANS)
            ASSERT_TRUE(cv::imwrite((scans_ / name).string(), makeLeafletScan(params)));
        const std::string broken = readBytes(scans_ / "feuilles_2.jpg");
        writeBytes(scans_ / "casse.jpg", broken.substr(0, broken.size() / 3));
        // The hook says where it ran, each time: a batch file on Windows, run by cmd.
        const fs::path script = scripts_ / "update.bat";
#ifdef _WIN32
        std::ofstream(script) << "@cd >> \"" << hookLog_.string() << "\"\n";
#else
        std::ofstream(script) << "#!/bin/sh\npwd >> \"" << hookLog_.string() << "\"\n";
        fs::permissions(script, fs::perms::owner_all);
#endif
    }

    RunResult run(std::vector<std::string> options) const {
        options.push_back(scans_.string());
        options.push_back(out_.string());
        RunOptions run;
        run.folder = root_.path();
        run.environment.emplace_back("PATH", scripts_.string());
        return runProgram(LEAFLET_BATCH_BINARY, options, run);
    }

    std::vector<std::string> hookRuns() const {
        if (!fs::exists(hookLog_)) return {};
        std::vector<std::string> runs = splitLines(readBytes(hookLog_));
        for (std::string& run : runs) {
            if (!run.empty() && run.back() == '\r') run.pop_back();  // cmd's line ends
        }
        return runs;
    }

    TestFolder root_{"leaflet_batch_program"};
    fs::path scans_ = root_.path() / "scans", scripts_ = root_.path() / "scripts";
    fs::path out_ = root_.path() / "resultats", hookLog_ = root_.path() / "update.log";
};

}  // namespace

TEST_F(LeafletBatchProgram, EachFolderAsALoneRunTheTableARowPerCropTheDrawnSizesAndTheHookOnce) {
    const RunResult batch = run({"-j2"});
    ASSERT_EQ(batch.status, 1) << batch.err;  // casse.jpg
    EXPECT_NE(batch.out.find("casse.jpg (statut 2)"), std::string::npos) << batch.out;
    EXPECT_NE(batch.out.find("6 pétale(s) ; sans pétale : vide.jpg"), std::string::npos)
        << batch.out;
    EXPECT_EQ(hookRuns(), std::vector<std::string>{root_.path().string()});

    // Byte for byte what a lone leaflet_crop writes, and nothing else under PETALES/.
    for (const auto& [name, params] : SCANS) {
        SCOPED_TRACE(name);
        const std::map<std::string, std::string> lone =
            loneRun(scans_ / name, root_.path() / "seul" / name);
        const std::map<std::string, std::string> batched = filesUnder(out_ / name);
        for (const auto& [file, bytes] : lone) {
            ASSERT_EQ(batched.count(file), 1u) << file;
            EXPECT_TRUE(batched.at(file) == bytes) << file;
        }
        for (const auto& [file, bytes] : batched) {
            if (file.rfind("PETALES/", 0) != 0) continue;
            EXPECT_EQ(lone.count(file), 1u) << file;
        }
        EXPECT_EQ(lone.count("PETALES/" + name + "_0.jpg"), params.leaves.empty() ? 0u : 1u);
    }

    // One row per crop, one for the empty scan, one for the broken one, in natural order; each
    // leaflet measured as drawn: area within 1 %, length and width within 2 pixels.
    const std::vector<std::vector<std::string>> rows = tableRows(out_ / "tous_petales.csv");
    std::vector<std::string> order;
    for (const std::vector<std::string>& row : rows) {
        ASSERT_EQ(row.size(), 17u);
        if (order.empty() || order.back() != row[0]) order.push_back(row[0]);
    }
    EXPECT_EQ(order, (std::vector<std::string>{MARKUP_SCAN, "casse.jpg", "feuilles_2.jpg",
                                               "feuilles_10.png", "vide.jpg"}));
    std::map<std::string, std::vector<std::vector<std::string>>> byScan;
    for (const std::vector<std::string>& row : rows) byScan[row[0]].push_back(row);
    EXPECT_EQ(byScan["casse.jpg"],
              (std::vector<std::vector<std::string>>{{"casse.jpg", "2", "", "", "", "", "", "",
                                                      "", "", "", "", "", "", "", "", ""}}));
    EXPECT_EQ(byScan["vide.jpg"],
              (std::vector<std::vector<std::string>>{{"vide.jpg", "0", "", "", "", "", "", "",
                                                      "1200", "", "", "", "", "", "", "", ""}}));
    for (const auto& [name, params] : SCANS) {
        if (params.leaves.empty()) continue;
        SCOPED_TRACE(name);
        const std::vector<std::vector<std::string>>& leafRows = byScan[name];
        ASSERT_EQ(leafRows.size(), params.leaves.size());
        for (std::size_t n = 0; n < leafRows.size(); ++n) {
            const std::vector<std::string>& row = leafRows[n];
            EXPECT_EQ(row[2], std::to_string(n));
            const std::string crop = name + "/PETALES/" + name + "_" + std::to_string(n) + ".jpg";
            EXPECT_EQ(row[3], crop);
            EXPECT_TRUE(fs::is_regular_file(out_ / crop));
            // The leaf drawn there: the one of the same length (they all differ by far more).
            const auto drawn = std::min_element(
                params.leaves.begin(), params.leaves.end(), [&](const Leaf& a, const Leaf& b) {
                    return std::fabs(a.length * MM_PER_PIXEL - cell(row[5])) <
                           std::fabs(b.length * MM_PER_PIXEL - cell(row[5]));
                });
            std::vector<cv::Point2f> outline;
            for (const cv::Point2d& point : leafPolygon(*drawn)) outline.emplace_back(point);
            const double area = cv::contourArea(outline) * MM_PER_PIXEL * MM_PER_PIXEL;
            EXPECT_NEAR(cell(row[4]), area, 0.01 * area);
            // The table's two decimals add at most 0.005 mm.
            EXPECT_NEAR(cell(row[5]), drawn->length * MM_PER_PIXEL, 2 * MM_PER_PIXEL + 0.005);
            EXPECT_NEAR(cell(row[6]), drawn->width * MM_PER_PIXEL, 2 * MM_PER_PIXEL + 0.005);
            EXPECT_EQ(row[8], "1200");
        }
    }
    EXPECT_TRUE(fs::is_regular_file(out_ / "rapport.html"));
}

TEST_F(LeafletBatchProgram,
       ARerunCropsAgainOnlyWhatChangedLeavesNoOlderCropAndTheHookRunsEachTime) {
    ASSERT_EQ(run({}).status, 1);
    // feuilles_10.png now holds one leaf, and vide.jpg two.
    ASSERT_TRUE(cv::imwrite((scans_ / "feuilles_10.png").string(),
                            makeLeafletScan(scanWith({{{900, 500}, 800, 350, 10}}, 5))));
    ASSERT_TRUE(cv::imwrite(
        (scans_ / "vide.jpg").string(),
        makeLeafletScan(scanWith({{{500, 550}, 900, 380, 20}, {{1450, 550}, 800, 300, -65}}, 6))));
    const std::string unchanged = readBytes(out_ / "feuilles_2.jpg" / "statut.txt");

    const RunResult rerun = run({});
    ASSERT_EQ(rerun.status, 1) << rerun.err;
    EXPECT_NE(rerun.err.find("2 scan(s) déjà mesuré(s)"), std::string::npos) << rerun.err;
    EXPECT_EQ(readBytes(out_ / "feuilles_2.jpg" / "statut.txt"), unchanged);
    std::vector<std::string> crops;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(out_ / "feuilles_10.png" / "PETALES"))
        crops.push_back(entry.path().filename().string());
    EXPECT_EQ(crops, std::vector<std::string>{"feuilles_10.png_0.jpg"});
    EXPECT_TRUE(fs::exists(out_ / "vide.jpg" / "PETALES" / "vide.jpg_1.jpg"));
    EXPECT_EQ(hookRuns().size(), 2u);

    // Another resolution measures every scan again: lengths double at 600 dpi. A shard runs no
    // hook (another shard may be listing the folder); the merge neither.
    const RunResult at600 = run({"--dpi", "600", "--shard", "0/1"});
    EXPECT_EQ(at600.status, 1) << at600.err;
    EXPECT_EQ(at600.err.find("déjà mesurée"), std::string::npos) << at600.err;
    EXPECT_NE(at600.err.find("4 scan(s) mesuré(s) à 1200 dpi, mesuré(s) à nouveau à 600 dpi"),
              std::string::npos)
        << at600.err;
    EXPECT_EQ(hookRuns().size(), 2u);
    RunOptions here;
    here.environment.emplace_back("PATH", scripts_.string());
    ASSERT_EQ(runProgram(LEAFLET_BATCH_BINARY, {"--merge", out_.string()}, here).status, 1);
    EXPECT_EQ(hookRuns().size(), 2u);
    const std::vector<std::vector<std::string>> rows = tableRows(out_ / "tous_petales.csv");
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [](const auto& r) { return r[0] == "feuilles_10.png"; });
    ASSERT_NE(row, rows.end());
    EXPECT_NEAR(cell((*row)[5]), 2 * 800 * MM_PER_PIXEL, 4 * MM_PER_PIXEL + 0.005);
    EXPECT_EQ((*row)[8], "600");

    // feuilles_2.jpg as measured by the version before, which recorded no version: a merge
    // refuses to put its values beside the others, and naming it; a run measures it again.
    writeBytes(out_ / "feuilles_2.jpg" / "dpi.txt", "dpi 600\n");
    const std::string table = readBytes(out_ / "tous_petales.csv");
    const RunResult refused = runProgram(LEAFLET_BATCH_BINARY, {"--merge", out_.string()}, here);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("feuilles_2.jpg » : valeurs de la version 1"), std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find("feuilles_10.png"), std::string::npos) << refused.err;
    EXPECT_EQ(readBytes(out_ / "tous_petales.csv"), table);
    const RunResult resumed = run({"--dpi", "600"});
    EXPECT_NE(resumed.err.find("1 scan(s) mesuré(s) par une autre version"), std::string::npos)
        << resumed.err;
    EXPECT_NE(resumed.err.find("3 scan(s) déjà mesuré(s)"), std::string::npos) << resumed.err;
    EXPECT_EQ(readBytes(out_ / "feuilles_2.jpg" / "dpi.txt"), "dpi 600\nversion_des_valeurs 2\n");
}

TEST(LeafletBatchLightBackground, AnAllWhiteScanIsNamedInTheSummaryAndAMissingHookSaysNothing) {
    TestFolder root("leaflet_batch_white");
    const fs::path scans = root.path() / "scans", out = root.path() / "sortie";
    fs::create_directories(scans);
    ASSERT_TRUE(cv::imwrite((scans / "blanc.jpg").string(),
                            cv::Mat(400, 600, CV_8UC3, cv::Scalar::all(255))));
    RunOptions options;
    options.folder = root.path();
    options.environment.emplace_back("PATH", scans.string());  // no update.bat along it
    const RunResult batch =
        runProgram(LEAFLET_BATCH_BINARY, {scans.string(), out.string()}, options);
    EXPECT_EQ(batch.status, 0) << batch.err;
    EXPECT_NE(batch.out.find("leaflet_batch : « blanc.jpg » : un « pétale » couvre la plus grande "
                             "partie de l'image : fond clair"),
              std::string::npos)
        << batch.out;
    EXPECT_EQ(batch.err.find("update.bat"), std::string::npos) << batch.err;
    EXPECT_EQ(batch.err.find("not found"), std::string::npos) << batch.err;
    EXPECT_NE(readBytes(out / "rapport.html").find("Attention : un « pétale »"), std::string::npos);
}

TEST(LeafletBatchSingleScan, RefusesAScanOverItsShareInItsOwnName) {
    TestFolder folder("leaflet_batch_share");
    ASSERT_TRUE(cv::imwrite((folder.path() / "planche.jpg").string(),
                            cv::Mat(200, 300, CV_8UC3, cv::Scalar::all(0))));
    RunOptions options;
    options.folder = folder.path();
    options.environment.emplace_back("PLANT_SCAN_MEMORY_SHARE", "1000");
    const RunResult refused =
        runProgram(LEAFLET_BATCH_BINARY, {"--une-image", "planche.jpg"}, options);
    EXPECT_EQ(refused.status, 4);
    EXPECT_EQ(refused.err.rfind("leaflet_batch : mémoire insuffisante pour « planche.jpg »", 0), 0u)
        << refused.err;
    EXPECT_NE(refused.err.find("(part de mémoire accordée par leaflet_batch)"), std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find("section_batch"), std::string::npos) << refused.err;
    // The batch's rule for a resolution: a whole number.
    const RunResult otherDpi =
        runProgram(LEAFLET_BATCH_BINARY, {"--une-image", "planche.jpg", "--dpi", "1e3"}, options);
    EXPECT_EQ(otherDpi.status, 4);
    EXPECT_NE(otherDpi.err.find("usage"), std::string::npos) << otherDpi.err;
}

// Started from Explorer's menu on the scans' folder: as typed in a console opened there, the hook
// run in that folder and the results beside the scans.
TEST_F(LeafletBatchProgram, FromTheDesktopTheFolderIsWhereTheHookRunsAndTheResultsGo) {
    RunOptions options;
    options.folder = root_.path();
    options.environment.emplace_back("PATH", scripts_.string());
    options.environment.emplace_back("PLANT_SCAN_TEST_OPENED_PAGES",
                                     (root_.path() / "opened.txt").string());
    const RunResult batch =
        runProgram(LEAFLET_BATCH_BINARY, {"--fenetre", scans_.string()}, options);
    EXPECT_EQ(batch.status, 1) << batch.err;  // casse.jpg
    EXPECT_EQ(hookRuns(), std::vector<std::string>{scans_.string()});
    EXPECT_TRUE(fs::exists(scans_ / "resultats_petales" / "tous_petales.csv"));
    EXPECT_EQ(splitLines(readBytes(root_.path() / "opened.txt")),
              std::vector<std::string>{(scans_ / "resultats_petales" / "rapport.html").string()});
}
