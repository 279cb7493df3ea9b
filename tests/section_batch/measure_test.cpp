// The batch with the real section_measure on small generated scans and one file that is
// not an image.
#include "support/test_scans.h"
#include "test_folder.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

using namespace plantscan::tools;

namespace fs = std::filesystem;

namespace {

const std::string batch = SECTION_BATCH_BINARY;
const std::string measure = SECTION_MEASURE_BINARY;

// Small scans keep grabCut fast; each differs in seed, rotation and size of section.
void writeScans(const fs::path& folder) {
    fs::create_directories(folder);
    for (int i = 0; i < 3; ++i) {
        const SectionScanParams params =
            test_support::centredSection(300, 300, 100 + 5 * i, 11.0 * i, 7 + i);
        const std::string name = "cane_" + std::to_string(i + 1) + (i == 1 ? ".png" : ".jpg");
        ASSERT_TRUE(cv::imwrite((folder / name).string(), makeSectionScan(params)));
    }
    writeBytes(folder / "casse.jpg", "this is no image");
}

const std::vector<std::string> scanOrder{"cane_1.jpg", "cane_2.png", "cane_3.jpg", "casse.jpg"};

// section_measure is found beside section_batch in the build tree.
RunResult runBatch(const fs::path& folder, const std::vector<std::string>& arguments) {
    RunOptions options;
    options.folder = folder;
    return runProgram(batch, arguments, options);
}

}  // namespace

TEST(BatchOfRealScans, GivesEachScanWhatALoneRunGivesAndResumes) {
    TestFolder folder("section_batch_real");
    writeScans(folder.path() / "scans");
    const fs::path out = folder.path() / "resultats";

    RunResult result = runBatch(folder.path(), {"scans"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.out.find("1 image(s) sur 4 en échec : casse.jpg (statut 2)"),
              std::string::npos)
        << result.out;

    const std::vector<std::vector<std::string>> rows = readCells(out / "toutes_mesures.csv");
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t i = 0; i < scanOrder.size(); ++i) {
        const std::vector<std::string>& row = rows[i + 1];
        ASSERT_EQ(row.size(), 30u);
        EXPECT_EQ(row[0], scanOrder[i]);
        const std::vector<std::string> cells(row.begin() + 2, row.end());
        if (i < 3) {
            EXPECT_EQ(row[1], "0");
            EXPECT_EQ(cells, reportValues(out / scanOrder[i] / "mesures.csv")) << scanOrder[i];
        } else {
            EXPECT_EQ(row[1], "2");
            EXPECT_EQ(cells, std::vector<std::string>(28, ""));
            EXPECT_NE(readBytes(out / "casse.jpg" / "erreurs.txt").find("casse.jpg"),
                      std::string::npos);
        }
    }

    // A lone run in a fresh folder writes the same report and console.
    const fs::path lone = folder.path() / "lone";
    fs::create_directories(lone);
    RunOptions inLone;
    inLone.folder = lone;
    const RunResult loneRun =
        runProgram(measure, {(folder.path() / "scans" / "cane_2.png").string()}, inLone);
    ASSERT_EQ(loneRun.status, 0);
    EXPECT_EQ(readBytes(lone / "mesures.csv"), readBytes(out / "cane_2.png" / "mesures.csv"));
    EXPECT_EQ(loneRun.out, consoleText(out / "cane_2.png" / "console.txt"));
    EXPECT_EQ(readBytes(lone / "res.jpg"), readBytes(out / "cane_2.png" / "res.jpg"));

    // Resuming: only the failed scan and the changed one run again.
    writeBytes(out / "cane_1.jpg" / "console.txt", "kept");
    writeBytes(out / "cane_3.jpg" / "console.txt", "kept");
    fs::last_write_time(
        folder.path() / "scans" / "cane_3.jpg",
        fs::last_write_time(folder.path() / "scans" / "cane_3.jpg") + std::chrono::seconds(5));
    const std::string table = readBytes(out / "toutes_mesures.csv");
    result = runBatch(folder.path(), {"scans"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(readBytes(out / "cane_1.jpg" / "console.txt"), "kept");
    EXPECT_NE(readBytes(out / "cane_3.jpg" / "console.txt"), "kept");
    EXPECT_EQ(readBytes(out / "toutes_mesures.csv"), table);

    fs::remove(folder.path() / "scans" / "casse.jpg");
    result = runBatch(folder.path(), {"scans"});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(readCells(out / "toutes_mesures.csv").size(), 4u);
}

TEST(BatchOfRealScans, OneJobTwoJobsAndTwoMergedShardsGiveTheSameTable) {
    TestFolder folder("section_batch_same");
    writeScans(folder.path() / "scans");

    EXPECT_EQ(runBatch(folder.path(), {"-j", "2", "scans", "two"}).status, 1);
    EXPECT_EQ(runBatch(folder.path(), {"-j", "1", "scans", "one"}).status, 1);
    const std::string table = readBytes(folder.path() / "two" / "toutes_mesures.csv");
    ASSERT_EQ(readCells(folder.path() / "two" / "toutes_mesures.csv").size(), 5u);
    EXPECT_EQ(readBytes(folder.path() / "one" / "toutes_mesures.csv"), table);

    // Each shard measures its own positions and leaves the table to the merge.
    EXPECT_EQ(runBatch(folder.path(), {"--shard", "0/2", "scans", "shards"}).status, 0);
    EXPECT_EQ(runBatch(folder.path(), {"--shard", "1/2", "scans", "shards"}).status, 1);
    EXPECT_FALSE(fs::exists(folder.path() / "shards" / "toutes_mesures.csv"));
    EXPECT_TRUE(fs::exists(folder.path() / "shards" / "cane_3.jpg" / "mesures.csv"));
    EXPECT_EQ(runBatch(folder.path(), {"--merge", "shards"}).status, 1);
    EXPECT_EQ(readBytes(folder.path() / "shards" / "toutes_mesures.csv"), table);
}
