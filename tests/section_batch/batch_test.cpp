// The batch driven end to end with a stand-in for section_measure: a small program that
// records how it was called, writes a report in the exact format, and fails on demand.
#include "batch/run_record.h"
#include "section_batch/section_kind.h"
#include "stand_in_batch.h"
#include "stored/scan_folder.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <opencv2/core/version.hpp>
#include <regex>
#include <set>
#include <thread>

using namespace plantscan::batch;
using namespace plantscan::section_batch;
using namespace plantscan::stored;
using namespace plantscan::tools;

namespace fs = std::filesystem;
using namespace test_support;

namespace {

const std::string batch = SECTION_BATCH_BINARY;

}  // namespace

TEST(BatchWithStandIn, RunsEachScanInItsFolderAndGathersRowsStatusesAndStreams) {
    Batch b("layout");
    for (const char* name : {"b c.png", "a.jpg", "echec.jpg", "tue.TIF", "notes.txt"}) {
        writeBytes(b.scans / name, "x");
    }
    fs::create_directories(b.scans / "sub");
    writeBytes(b.scans / "sub" / "inner.jpg", "x");

    const RunResult result = b.run({"-j", "2", "scans"});
    EXPECT_EQ(result.status, 1);
    const fs::path out = b.folder.path() / "resultats";

    std::vector<std::string> folders;
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
        if (entry.is_directory()) folders.push_back(entry.path().filename().u8string());
    }
    std::sort(folders.begin(), folders.end());
    const std::vector<std::string> scans{"a.jpg", "b c.png", "echec.jpg", "tue.TIF"};
    folders.erase(std::remove(folders.begin(), folders.end(), RUN_RECORD_FOLDER), folders.end());
    EXPECT_EQ(folders, scans);

    // The child ran in its own folder, given the scan's absolute path, streams split.
    const std::string console = consoleText(out / "b c.png" / "console.txt");
    EXPECT_EQ(console, "argument=" + fs::canonical(b.scans / "b c.png").u8string() +
                           "\ndossier=" + fs::canonical(out / "b c.png").u8string() + "\n");
    EXPECT_EQ(consoleText(out / "echec.jpg" / "erreurs.txt"), "pas de section ici\n");
    EXPECT_EQ(readBytes(out / "a.jpg" / "erreurs.txt"), "");

    const std::vector<std::vector<std::string>> rows = readCells(out / "toutes_mesures.csv");
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].size(), 30u);
    const std::vector<std::string> statuses{"0", "0", "1", std::to_string(crashedStatus())};
    for (std::size_t i = 0; i < scans.size(); ++i) {
        ASSERT_EQ(rows[i + 1].size(), 30u) << scans[i];
        EXPECT_EQ(rows[i + 1][0], scans[i]);
        EXPECT_EQ(rows[i + 1][1], statuses[i]) << scans[i];
        const std::vector<std::string> cells(rows[i + 1].begin() + 2, rows[i + 1].end());
        if (statuses[i] == "0") {
            EXPECT_EQ(cells, reportValues(out / scans[i] / "mesures.csv")) << scans[i];
        } else {
            EXPECT_EQ(cells, std::vector<std::string>(28, "")) << scans[i];
        }
    }
    EXPECT_EQ(rows[1][2], "6,5");  // "a.jpg" and its newline
    EXPECT_EQ(rows[2][2], "8,5");

    // Not a terminal: one line per finished scan, and a summary naming the failures.
    int finishedLines = 0;
    for (const std::string& line : lines(result.err)) finishedLines += line.rfind("[", 0) == 0;
    EXPECT_EQ(finishedLines, 4);
    EXPECT_NE(result.out.find("2 image(s) sur 4 en échec"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("echec.jpg (statut 1)"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("tue.TIF (statut " + statuses[3] + ")"), std::string::npos)
        << result.out;
    EXPECT_EQ(calledScans(b.callLog), scans);
}

TEST(BatchWithStandIn, ResumesOnlyWhatIsNotCompleteAndForceMeasuresAll) {
    Batch b("resume");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "echec.jpg"})
        writeBytes(b.scans / name, "x");
    const RunResult first = b.run({"scans", "out"});
    ASSERT_EQ(first.status, 1) << first.err;
    EXPECT_EQ(calledScans(b.callLog).size(), 4u) << first.out << first.err;
    const std::string firstTable = readBytes(b.folder.path() / "out" / "toutes_mesures.csv");

    // Failed again; "b.jpg" changed; "c.jpg" interrupted before its status was written.
    writeBytes(b.scans / "b.jpg", "xy");
    fs::remove(b.folder.path() / "out" / "c.jpg" / "statut.txt");
    RunResult result = b.run({"scans", "out"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(calledScans(b.callLog), (std::vector<std::string>{"b.jpg", "c.jpg", "echec.jpg"}));
    EXPECT_NE(result.err.find("1 image(s) déjà mesurée(s)"), std::string::npos) << result.err;
    EXPECT_EQ(readBytes(b.folder.path() / "out" / "toutes_mesures.csv"), firstTable);

    fs::remove(b.scans / "echec.jpg");
    result = b.run({"scans", "out"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(calledScans(b.callLog).empty());
    EXPECT_EQ(readCells(b.folder.path() / "out" / "toutes_mesures.csv").size(), 4u);

    EXPECT_EQ(b.run({"--force", "scans", "out"}).status, 0);
    EXPECT_EQ(calledScans(b.callLog), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

TEST(BatchWithStandIn, AFailedRerunLeavesNoEarlierReportBehind) {
    Batch b("stale");
    writeBytes(b.scans / "a.jpg", "x");
    ASSERT_EQ(b.run({"scans"}).status, 0);
    // The same name now fails: the old values must not come back in the table.
    writeBytes(b.bin / "replacement.txt", "\n4\n");
    ASSERT_EQ(b.run({"--force", "scans"}).status, 1);
    const fs::path out = b.folder.path() / "resultats";
    EXPECT_FALSE(fs::exists(out / "a.jpg" / "mesures.csv"));
    const std::string table = readBytes(out / "toutes_mesures.csv");
    EXPECT_EQ(table.substr(table.find("\r\n") + 2), "a.jpg;4" + std::string(28, ';') + "\r\n");
}

TEST(BatchWithStandIn, LooksForTheProgramAlongThePathWhenNoneIsBeside) {
    Batch b("path");
    writeBytes(b.scans / "a.jpg", "x");
    const fs::path alone = b.folder.path() / "alone";
    fs::create_directories(alone);
    fs::copy_file(batch, alone / programFile("section_batch"));

    RunOptions options = b.options();
    options.pathPrefix = b.bin.u8string();
    EXPECT_EQ(runProgram("alone/section_batch", {"scans"}, options).status, 0);
    EXPECT_EQ(calledScans(b.callLog), std::vector<std::string>{"a.jpg"});

    writeStandIn(alone);
    writeBytes(alone / "replacement.txt", "beside\n3\n");
    EXPECT_EQ(runProgram("alone/section_batch", {"--force", "scans"}, options).status, 1);
    EXPECT_EQ(consoleText(b.folder.path() / "resultats" / "a.jpg" / "console.txt"), "beside\n");
    EXPECT_FALSE(fs::exists(b.callLog));

    // Without the program anywhere nothing can be measured.
    fs::remove(alone / programFile("section_measure"));
    options.pathPrefix.clear();
    options.environment = {{"PATH", (b.folder.path() / "nonexistent").u8string()}};
    const RunResult missing = runProgram("alone/section_batch", {"scans"}, options);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("section_measure introuvable"), std::string::npos) << missing.err;
}

TEST(BatchWithStandIn, ExitStatusesOfTheCommandLine) {
    Batch b("status");
    writeBytes(b.scans / "a.jpg", "x");
    writeBytes(b.folder.path() / "file.jpg", "x");

    EXPECT_EQ(b.run({"--help"}).status, 0);
    EXPECT_NE(b.run({"--help"}).out.find("--shard K/N"), std::string::npos);
    const RunResult version = b.run({"--version", "scans"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "section_batch " PROJECT_VERSION " (OpenCV " CV_VERSION ")\n");
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"--bogus", "scans"},
                                               {"missing"},
                                               {"file.jpg"},
                                               {"-j", "0", "scans"},
                                               {"scans", "out", "extra"},
                                               {"--shard", "2", "scans"},
                                               {"--merge", "missing"}}) {
        const RunResult result = b.run(arguments);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(arguments);
        EXPECT_NE(result.err.find("section_batch : "), std::string::npos)
            << ::testing::PrintToString(arguments);
    }
    EXPECT_FALSE(fs::exists(b.callLog));
    EXPECT_FALSE(fs::exists(b.folder.path() / "resultats"));

    // An empty folder is a complete (empty) batch.
    fs::create_directories(b.folder.path() / "empty");
    EXPECT_EQ(b.run({"empty", "out"}).status, 0);
    EXPECT_EQ(readCells(b.folder.path() / "out" / "toutes_mesures.csv").size(), 1u);
}

TEST(BatchWithStandIn, MergeReadsSubfoldersAloneAndShowsInterruptedScans) {
    Batch b("merge");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) writeBytes(b.scans / name, "x");
    ASSERT_EQ(b.run({"scans", "out"}).status, 0);
    const fs::path out = b.folder.path() / "out";
    const std::vector<std::vector<std::string>> full = readCells(out / "toutes_mesures.csv");
    EXPECT_TRUE(fs::is_regular_file(out / "rapport.html"));

    // The scans are gone, one result was interrupted, and a folder of the user's own stays out.
    // One scan has a res.jpg without its thumbnail (a folder from before thumbnails).
    fs::remove_all(b.scans);
    fs::remove(out / "toutes_mesures.csv");
    fs::remove(out / "rapport.html");
    ASSERT_TRUE(cv::imwrite((out / "c.jpg" / "res.jpg").string(),
                            cv::Mat(60, 900, CV_8UC3, cv::Scalar::all(128))));
    fs::remove(out / "b.jpg" / "statut.txt");
    fs::create_directories(out / "figures");
    const RunResult result = b.run({"--merge", "out"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("b.jpg (pas de statut)"), std::string::npos) << result.out;
    const std::vector<std::vector<std::string>> merged = readCells(out / "toutes_mesures.csv");
    ASSERT_EQ(merged.size(), 4u);
    EXPECT_EQ(merged[1], full[1]);
    std::vector<std::string> interrupted(30, "");
    interrupted[0] = "b.jpg";
    EXPECT_EQ(merged[2], interrupted);
    EXPECT_EQ(merged[3], full[3]);
    EXPECT_EQ(cv::imread((out / "c.jpg" / "vignette.jpg").string()).cols, 320);
    // The interrupted scan heads the page, before the first scan of the table.
    const std::string page = readBytes(out / "rapport.html");
    EXPECT_LT(page.find(">b.jpg<"), page.find(">a.jpg<"));
}

TEST(BatchWithStandIn, ScansThatCannotStartAreNotWaitedFor) {
    Batch b("not_started");
    for (const char* name : {"a.jpg", "b.jpg"}) writeBytes(b.scans / name, "x");
    const fs::path out = b.folder.path() / "out";
    fs::create_directories(out);
    writeBytes(out / "b.jpg", "a file where the scan's folder goes");
    const RunResult result = b.run({"-j", "1", "scans", "out"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("impossible de créer le dossier"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("perdue"), std::string::npos) << result.err;
}

TEST(BatchWithStandIn, ChildrenGetTheirThreeStreamsAloneAndTheirShareOfMemoryAndCores) {
    Batch b("descriptors");
    writeBytes(b.scans / "fd.jpg", "x");
    // Shares the batch itself was given are not its children's.
    RunOptions options = b.options();
    options.environment.emplace_back("PLANT_SCAN_MEMORY_SHARE", "1000");
    options.environment.emplace_back("SECTION_BATCH_MEMORY_SHARE", "1000");
    ASSERT_EQ(runProgram("bin/section_batch", {"scans", "out"}, options).status, 0);
    const fs::path folder = b.folder.path() / "out" / "fd.jpg";
    // Nothing beyond its three streams (listed on Linux only).
    EXPECT_EQ(readBytes(folder / "fds.txt"), "");
    const std::string share = readBytes(folder / "part.txt");
    ASSERT_FALSE(share.empty());
    EXPECT_GT(std::stoull(share), 1000u);
    EXPECT_EQ(readBytes(folder / "ancienne_part.txt"), "");
    // As many at once as cores: one thread each.
    EXPECT_EQ(readBytes(folder / "threads.txt"), "1");
}

TEST(BatchWithStandIn, ChildrenEndWithTheBatchWhateverEndsIt) {
    for (const Ending& ending : endingsFromOutside()) {
        SCOPED_TRACE(ending.name);
        Batch b("stopped_" + ending.name);
        writeBytes(b.scans / "lent.jpg", "x");
        const fs::path pidFile = b.folder.path() / "out" / "lent.jpg" / "pid.txt";
        BackgroundProgram started =
            startInBackground("bin/section_batch", {b.scans.u8string(), "out"}, b.options());
        ASSERT_NE(started.id, 0) << "the batch did not start";

        long sleeper = 0;
        for (int i = 0; i < 200 && sleeper == 0; ++i) {
            std::ifstream(pidFile) >> sleeper;
            if (sleeper == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_GT(sleeper, 0) << "the stand-in never started";
        const auto stopped = std::chrono::steady_clock::now();
        endFromOutside(started, ending);
        const int status = waitForEnd(started);
        // The child, asleep for a minute, was stopped, not waited for to the end.
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - stopped;
        EXPECT_LT(took.count(), 10.0) << "seconds from the ending to the batch's end";
        if (ending.handled) {
            EXPECT_EQ(status, 128 + ending.code);
        }
        for (int i = 0; i < 100 && !processHasEnded(sleeper); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(processHasEnded(sleeper)) << "the child outlived the batch";
    }
}

namespace {

std::set<fs::path> recordFiles(const fs::path& out) {
    std::set<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(out / RUN_RECORD_FOLDER)) {
        files.insert(entry.path());
    }
    return files;
}

// The one file the last run added to `known`, read back.
RunRecord newRecord(const fs::path& out, std::set<fs::path>& known) {
    std::set<fs::path> files = recordFiles(out);
    EXPECT_EQ(files.size(), known.size() + 1);
    fs::path added;
    for (const fs::path& file : files) {
        if (known.count(file) == 0) added = file;
    }
    known = files;
    const std::optional<RunRecord> record = parseRunRecord(readBytes(added));
    EXPECT_TRUE(record) << added;
    if (!record) return {};
    // Named by the start, the host and a process id.
    const std::string name = added.filename().u8string();
    EXPECT_TRUE(
        std::regex_match(name, std::regex("[0-9]{8}T[0-9]{6}Z_[A-Za-z0-9._-]*_[0-9]+\\.txt")))
        << name;
    EXPECT_EQ(name.substr(0, name.rfind('_') + 1),
              runRecordFileName(*record, 0).substr(0, name.rfind('_') + 1));
    EXPECT_LE(record->start, record->end);
    EXPECT_EQ(record->version, PROJECT_VERSION);
    return *record;
}

}  // namespace

TEST(BatchWithStandIn, EachRunLeavesOneRecordOfItsCountsAndTablesFollowTheNaturalOrder) {
    Batch b("records");
    for (const char* name : {"coupe_10.jpg", "coupe_2.jpg", "echec_1.jpg"}) {
        writeBytes(b.scans / name, "x");
    }
    const fs::path out = b.folder.path() / "out";
    std::set<fs::path> known;

    // Positions 0 and 2 of coupe_2, coupe_10, echec_1.
    EXPECT_EQ(b.run({"--shard", "0/2", "-j", "1", "scans", "out"}).status, 1);
    RunRecord record = newRecord(out, known);
    EXPECT_EQ(record.command, "bin/section_batch --shard 0/2 -j 1 scans out");
    EXPECT_EQ(record.mode, RunMode::MEASURE);
    EXPECT_EQ(record.jobs, 1);
    EXPECT_EQ(record.shard, 0);
    EXPECT_EQ(record.shardCount, 2);
    EXPECT_FALSE(record.force);
    EXPECT_EQ(std::vector<int>({record.images, record.measured, record.skipped, record.failed}),
              std::vector<int>({3, 1, 0, 1}));
    EXPECT_EQ(calledScans(b.callLog), (std::vector<std::string>{"coupe_2.jpg", "echec_1.jpg"}));

    EXPECT_EQ(b.run({"scans", "out"}).status, 1);
    record = newRecord(out, known);
    EXPECT_FALSE(record.shard);
    EXPECT_TRUE(record.jobs && *record.jobs >= 1);
    EXPECT_EQ(std::vector<int>({record.images, record.measured, record.skipped, record.failed}),
              std::vector<int>({3, 1, 1, 1}));
    const std::vector<std::vector<std::string>> rows = readCells(out / "toutes_mesures.csv");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][0], "coupe_2.jpg");
    EXPECT_EQ(rows[2][0], "coupe_10.jpg");
    EXPECT_EQ(rows[3][0], "echec_1.jpg");

    const std::string table = readBytes(out / "toutes_mesures.csv");
    fs::remove(out / "toutes_mesures.csv");
    EXPECT_EQ(b.run({"--merge", "out"}).status, 1);
    record = newRecord(out, known);
    EXPECT_EQ(record.mode, RunMode::MERGE);
    EXPECT_FALSE(record.jobs);
    EXPECT_EQ(std::vector<int>({record.images, record.measured, record.skipped, record.failed}),
              std::vector<int>({3, 0, 0, 0}));
    EXPECT_EQ(readBytes(out / "toutes_mesures.csv"), table);

    // A run refused for its command line measured nothing and records nothing.
    EXPECT_EQ(b.run({"--bogus", "scans", "out"}).status, 2);
    EXPECT_EQ(recordFiles(out), known);

    // A record that cannot be written fails the run, however well the scans went.
    fs::create_directories(b.folder.path() / "blocked");
    writeBytes(b.folder.path() / "blocked" / RUN_RECORD_FOLDER, "a file, not a folder");
    const RunResult blocked = b.run({"--shard", "1/2", "scans", "blocked"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find(RUN_RECORD_FOLDER), std::string::npos) << blocked.err;
    EXPECT_TRUE(fs::exists(b.folder.path() / "blocked" / "coupe_10.jpg" / "mesures.csv"));
}

TEST(BatchOfARealScan, AScanThatFailsOnItsRerunKeepsNoPictureOfTheEarlierRun) {
    TestFolder folder("section_batch_stale");
    const fs::path scans = folder.path() / "scans";
    const fs::path out = folder.path() / "resultats";
    fs::create_directories(scans);
    SectionScanParams params;
    params.width = params.height = 300;
    params.center = {150, 150};
    params.radius = 105;
    ASSERT_TRUE(cv::imwrite((scans / "coupe.png").string(), makeSectionScan(params)));
    RunOptions options;
    options.folder = folder.path();
    ASSERT_EQ(runProgram(batch, {"scans"}, options).status, 0);

    // A measured scan's folder holds the files the batch knows (the resolution only when the
    // scan states one), and no other.
    std::map<std::string, std::string> before;
    for (const fs::directory_entry& entry : fs::directory_iterator(out / "coupe.png")) {
        before[entry.path().filename().u8string()] = readBytes(entry.path());
    }
    std::set<std::string> owned;
    for (const std::string& file : ownedFiles({}, "coupe.png", sectionMeasureLayout()))
        owned.insert(file);
    for (const auto& [file, bytes] : before) EXPECT_EQ(owned.count(file), 1u) << file;
    owned.erase(RESOLUTION_FILE);
    for (const std::string& file : owned) EXPECT_EQ(before.count(file), 1u) << file;

    // The same name, now a scan with nothing to measure (all light).
    ASSERT_TRUE(cv::imwrite((scans / "coupe.png").string(),
                            cv::Mat(300, 300, CV_8UC3, cv::Scalar::all(255))));
    ASSERT_EQ(runProgram(batch, {"scans"}, options).status, 1);
    EXPECT_EQ(readBytes(out / "coupe.png" / STATUS_FILE).rfind("statut 1\n", 0), 0u);
    for (const auto& [file, bytes] : before) {
        const fs::path path = out / "coupe.png" / file;
        EXPECT_FALSE(fs::exists(path) && readBytes(path) == bytes) << file << " of the first run";
    }
    const std::string page = readBytes(out / "rapport.html");
    EXPECT_EQ(page.find("<img "), std::string::npos);
    EXPECT_EQ(page.find("coupe.png/res.jpg"), std::string::npos);
}

TEST(BatchWithStandIn, AScanStatedAtAnotherResolutionIsFlaggedInTheSummaryPageAndRecord) {
    Batch b("resolution");
    // A JPEG whose JFIF segment states `density` dots per inch (units 1) or per centimetre (2).
    const auto stamped = [](int units, int density) {
        std::vector<uchar> bytes;
        EXPECT_TRUE(cv::imencode(".jpg", cv::Mat(8, 8, CV_8UC3, cv::Scalar::all(99)), bytes));
        bytes[13] = static_cast<uchar>(units);
        for (const std::size_t at : {14, 16}) {
            bytes[at] = static_cast<uchar>(density >> 8);
            bytes[at + 1] = static_cast<uchar>(density & 0xFF);
        }
        return std::string(bytes.begin(), bytes.end());
    };
    writeBytes(b.scans / "a_600.jpg", stamped(1, 600));
    writeBytes(b.scans / "b_1200.jpg", stamped(1, 1200));
    writeBytes(b.scans / "c_96.jpg", stamped(1, 96));
    writeBytes(b.scans / "d_236_par_cm.jpg", stamped(2, 236));  // 599.44 dpi
    writeBytes(b.scans / "e_472_par_cm.jpg", stamped(2, 472));  // 1198.88 dpi: within 1 %
    const fs::path out = b.folder.path() / "out";
    const RunResult result = b.run({"scans", "out"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(calledScans(b.callLog).size(), 5u);

    const std::string flagged[] = {
        "section_batch : « a_600.jpg » : résolution déclarée : 600 dpi, mesurée comme 1200 dpi\n",
        "section_batch : « d_236_par_cm.jpg » : résolution déclarée : 599,44 dpi, mesurée comme "
        "1200 dpi\n"};
    for (const std::string& line : flagged) EXPECT_NE(result.out.find(line), std::string::npos);
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 3) << result.out;

    const auto pageMarks = [&out] {
        const std::string page = readBytes(out / "rapport.html");
        std::vector<std::string> scans;  // the card each mark lies in
        for (std::size_t at = page.find("<p class=\"resolution\">"); at != std::string::npos;
             at = page.find("<p class=\"resolution\">", at + 1)) {
            const std::size_t name = page.rfind("<h3>", at) + 4;
            scans.push_back(page.substr(name, page.find("</h3>", name) - name));
        }
        return scans;
    };
    const std::vector<std::string> marked{"a_600.jpg", "d_236_par_cm.jpg"};
    EXPECT_EQ(pageMarks(), marked);
    EXPECT_NE(readBytes(out / "rapport.html")
                  .find("<p class=\"resolution\">résolution déclarée : 600 dpi, mesurée comme "
                        "1200 dpi</p>"),
              std::string::npos);
    std::set<fs::path> known;
    EXPECT_EQ(newRecord(out, known).otherResolution, 2);

    // A folder from a version that kept no resolution: resumed, its unchanged scan tells it.
    fs::remove(out / "a_600.jpg" / RESOLUTION_FILE);
    EXPECT_NE(b.run({"scans", "out"}).out.find(flagged[0]), std::string::npos);
    EXPECT_TRUE(calledScans(b.callLog).empty());
    EXPECT_TRUE(fs::exists(out / "a_600.jpg" / RESOLUTION_FILE));
    EXPECT_EQ(newRecord(out, known).otherResolution, 2);

    // A merge, from the folders alone, tells the same.
    fs::remove_all(b.scans);
    EXPECT_EQ(b.run({"--merge", "out"}).status, 0);
    EXPECT_EQ(pageMarks(), marked);
    EXPECT_EQ(newRecord(out, known).otherResolution, 2);
}
