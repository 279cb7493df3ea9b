#include "batch/command_line.h"
#include "batch/processes.h"
#include "batch/progress.h"
#include "batch/scans.h"
#include "batch/scheduler.h"
#include "page/french_text.h"
#include "platform/machine.h"
#include "platform/system_errors.h"
#include "section_batch/section_kind.h"
#include "section_measure/output_files.h"
#include "section_measure/report_layout.h"
#include "stored/scan_folder.h"
#include "support/example_report.h"
#include "test_folder.h"

#include <gtest/gtest.h>

#include <set>

using namespace plantscan::batch;
using namespace plantscan::page;
using namespace plantscan::platform;
using namespace plantscan::section;
using namespace plantscan::section_batch;
using namespace plantscan::stored;

namespace fs = std::filesystem;

namespace {

// The example report of "mesures.csv", byte for byte.
const std::string exampleReport = test_support::EXAMPLE_REPORT;

const FolderLayout LAYOUT = sectionMeasureLayout();

ScanResult row(const std::string& name, std::optional<int> status,
               std::optional<std::vector<std::string>> cells) {
    ScanResult result;
    result.scanName = name;
    result.exitStatus = status;
    result.cells = std::move(cells);
    return result;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

}  // namespace

TEST(ScanList, KeepsImagesOfAnyCaseSortedByNameAndSkipsSubfoldersAndOtherFiles) {
    TestFolder folder("section_batch_list");
    for (const char* name : {"b.TIFF", "a.jpg", "c.Jpeg", "d.png", "e.tif", "f.BMP", "notes.txt",
                             "jpg", ".png", "g.jpg.bak"}) {
        writeBytes(folder.path() / name, "x");
    }
    fs::create_directories(folder.path() / "sub.jpg");
    writeBytes(folder.path() / "sub.jpg" / "inner.jpg", "x");

    const std::vector<std::string> expected{"a.jpg", "b.TIFF", "c.Jpeg", "d.png", "e.tif", "f.BMP"};
    EXPECT_EQ(listScans(folder.path()), expected);
}

TEST(ScanList, ShardsPartitionTheListByPositionModuloTheirCount) {
    const std::vector<std::string> names{"a", "b", "c", "d", "e", "f", "g"};
    EXPECT_EQ(selectShard(names, 0, 3), (std::vector<std::string>{"a", "d", "g"}));
    EXPECT_EQ(selectShard(names, 1, 3), (std::vector<std::string>{"b", "e"}));
    EXPECT_EQ(selectShard(names, 2, 3), (std::vector<std::string>{"c", "f"}));
    // K counts modulo N, so a job array numbered from 1 to N covers the list too.
    EXPECT_EQ(selectShard(names, 3, 3), selectShard(names, 0, 3));
    EXPECT_EQ(selectShard(names, 0, 1), names);
    EXPECT_TRUE(selectShard(names, 7, 9).empty());
}

TEST(MeasurementReport, ReadsTheTwentyEightCellsAsWrittenInTableOrder) {
    const std::optional<std::vector<std::string>> cells = parseMeasurementReport(exampleReport);
    ASSERT_TRUE(cells);
    const std::vector<std::string> expected{
        "0,87",  "1,06",  "0,95",  "1,21",  "0,78",  "2,14", "1,82",  "3,05", "2,5",  "1,97",
        "0,42",  "0,51",  "0,33",  "0,47",  "0,6",   "0,91", "1,04",  "0,85", "0,97", "1,12",
        "17,41", "19,84", "16,19", "18,62", "21,46", "9,87", "10,46", "7,62"};
    EXPECT_EQ(*cells, expected);
}

TEST(MeasurementReport, RefusesAnythingButAWholeReport) {
    EXPECT_FALSE(parseMeasurementReport(""));
    // Cut short: a batch interrupted while the file was written.
    EXPECT_FALSE(parseMeasurementReport(exampleReport.substr(0, exampleReport.size() - 2)));
    EXPECT_FALSE(parseMeasurementReport(exampleReport.substr(0, exampleReport.size() / 2)));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "\r\nLargeur", "\nLargeur")));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "0,6;\r\n", "0,6\r\n")));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "1,97;", "1,97;4;")));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "0,42;", ";")));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, ";9,87", ";9,87;1")));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "Profondeur", "Hauteur")));
    EXPECT_FALSE(parseMeasurementReport(exampleReport + "extra\r\n"));
    // A lone line break or a quote in a value would split or merge the table's rows.
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "19,84", "\rT,84")));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "19,84", "19\n84")));
    EXPECT_FALSE(parseMeasurementReport(replaced(exampleReport, "9,87", "\"9,87")));
}

TEST(StatusFile, RoundTripsAndRefusesDamagedText) {
    const ScanStatus status{3, {123456789012ULL, 1700000000123456789LL}};
    const std::optional<ScanStatus> read = parseStatus(formatStatus(status));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->exitStatus, 3);
    EXPECT_EQ(read->scan, status.scan);

    EXPECT_FALSE(parseStatus(""));
    EXPECT_FALSE(parseStatus("statut 0\ntaille 12\n"));
    EXPECT_FALSE(parseStatus("statut 0\ntaille x\nmodification 5\n"));
    EXPECT_FALSE(parseStatus("etat 0\ntaille 12\nmodification 5\n"));
    EXPECT_FALSE(parseStatus(formatStatus(status) + "statut 0\n"));
}

TEST(StatusFile, CompleteOnlyForStatusZeroOnTheSameScanWithItsReport) {
    TestFolder folder("section_batch_complete");
    const fs::path scan = folder.path() / "scan.jpg";
    writeBytes(scan, "pixels");
    const ScanFingerprint fingerprint = *fingerprintScan(scan);
    EXPECT_EQ(fingerprint.size, 6u);

    const fs::path result = folder.path() / "result";
    fs::create_directories(result);
    EXPECT_FALSE(holdsCompleteResult(result, fingerprint, LAYOUT));  // nothing yet
    writeBytes(result / REPORT_FILE, exampleReport);
    EXPECT_FALSE(holdsCompleteResult(result, fingerprint, LAYOUT));  // no status: interrupted
    ASSERT_TRUE(writeStatus(result, {1, fingerprint}));
    EXPECT_FALSE(holdsCompleteResult(result, fingerprint, LAYOUT));  // failed
    ASSERT_TRUE(writeStatus(result, {0, fingerprint}));
    EXPECT_TRUE(holdsCompleteResult(result, fingerprint, LAYOUT));

    writeBytes(scan, "pixels, changed");
    EXPECT_FALSE(holdsCompleteResult(result, *fingerprintScan(scan), LAYOUT));
    const ScanFingerprint touched{fingerprint.size, fingerprint.modifiedNs + 1};
    EXPECT_FALSE(holdsCompleteResult(result, touched, LAYOUT));

    // A report cut short (a power loss before it reached the disk) is measured again.
    writeBytes(result / REPORT_FILE, exampleReport.substr(0, exampleReport.size() / 2));
    EXPECT_FALSE(holdsCompleteResult(result, fingerprint, LAYOUT));
    fs::remove(result / REPORT_FILE);
    EXPECT_FALSE(holdsCompleteResult(result, fingerprint, LAYOUT));
    for (const fs::directory_entry& entry : fs::directory_iterator(result)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
    }
}

TEST(StatusFile, ATemporaryFileOfTheSamePidOnAnotherHostIsLeftAlone) {
    // On a folder shared by several machines, another host's batch with our pid is writing.
    TestFolder folder("section_batch_hosts");
    const fs::path status = folder.path() / STATUS_FILE;
    const fs::path theirs =
        folder.path() / (std::string(STATUS_FILE) + ".tmp-" + std::to_string(processId()));
    fs::create_directories(theirs);
    writeBytes(theirs / "in use", "");
    ASSERT_TRUE(writeStatus(folder.path(), {0, {1, 2}}));
    EXPECT_EQ(readStatus(folder.path())->scan, (ScanFingerprint{1, 2}));
    EXPECT_TRUE(fs::exists(theirs / "in use"));
}

TEST(Table, HeaderNamesEveryAngleAndHollowInTheReportsOrder) {
    const std::string header = tableHeader();
    ASSERT_GE(header.size(), 2u);
    EXPECT_EQ(header.substr(header.size() - 2), "\r\n");
    EXPECT_EQ(header.rfind("Scan;Statut;", 0), 0u);
    EXPECT_EQ(header.find('.'), std::string::npos);

    std::vector<std::string> names;
    std::size_t start = 0;
    const std::string line = header.substr(0, header.size() - 2);
    for (std::size_t end; (end = line.find(';', start)) != std::string::npos; start = end + 1) {
        names.push_back(line.substr(start, end - start));
    }
    names.push_back(line.substr(start));
    ASSERT_EQ(names.size(), 3u + REPORT_CELLS);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(names[2], "Rayon de courbure de l'angle 1 (mm)");
    EXPECT_EQ(names[11], "Rayon de courbure du creux 5 (mm)");
    EXPECT_EQ(names[14], "Profondeur du creux 3 (mm)");
    EXPECT_NE(names[19].find("creux 3"), std::string::npos);
    EXPECT_NE(names[26].find("creux 5"), std::string::npos);
    EXPECT_EQ(names[29], "Diam\xC3\xA8tre cercle inscrit (mm)");
    // Added after the first tables' columns, which keep their places.
    EXPECT_EQ(names[30],
              "R\xC3\xA9solution d\xC3\xA9"
              "clar\xC3\xA9"
              "e (dpi)");
}

TEST(Table, RowsCopyTheCellsAndKeepFailedScansWithEmptyCells) {
    const std::vector<std::string> cells = *parseMeasurementReport(exampleReport);
    std::string expected = "scan 1.jpg;0";
    for (const std::string& cell : cells) expected += ";" + cell;
    EXPECT_EQ(tableRow(row("scan 1.jpg", 0, cells)), expected + ";\r\n");
    // The resolution the file states, a bare number, whatever the scan's outcome.
    ScanResult stated = row("scan 1.jpg", 0, cells);
    stated.statedResolution = plantscan::input::StatedResolution{600, 600};
    EXPECT_EQ(tableRow(stated), expected + ";600\r\n");
    stated = row("bad.png", 2, std::nullopt);
    stated.statedResolution = plantscan::input::StatedResolution{599.44, 599.44};
    EXPECT_EQ(tableRow(stated), "bad.png;2" + std::string(29, ';') + "599,44\r\n");

    EXPECT_EQ(tableRow(row("bad.png", 2, std::nullopt)),
              "bad.png;2" + std::string(29, ';') + "\r\n");
    EXPECT_EQ(tableRow(row("cut.png", std::nullopt, std::nullopt)),
              "cut.png;" + std::string(29, ';') + "\r\n");
    // Status 0 without a readable report is no measurement: the cells stay empty.
    EXPECT_EQ(tableRow(row("odd.png", 0, std::nullopt)),
              "odd.png;0" + std::string(29, ';') + "\r\n");
    // A name that would break the columns is quoted.
    EXPECT_EQ(tableRow(row("a;\"b\".jpg", 1, std::nullopt)),
              "\"a;\"\"b\"\".jpg\";1" + std::string(29, ';') + "\r\n");
}

TEST(CommandLine, ReadsEveryFormAndOption) {
    ParsedCommandLine parsed = parseCommandLine({"scans"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->scansFolder, "scans");
    EXPECT_EQ(parsed.options->outFolder, "resultats");
    EXPECT_FALSE(parsed.options->jobs);
    EXPECT_FALSE(parsed.options->shard);
    EXPECT_FALSE(parsed.options->force || parsed.options->merge || parsed.options->help);

    parsed = parseCommandLine({"-j", "3", "--force", "scans", "out", "--shard", "4/5"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->outFolder, "out");
    EXPECT_EQ(parsed.options->jobs, 3);
    EXPECT_TRUE(parsed.options->force);
    EXPECT_EQ(parsed.options->shard, 4);
    EXPECT_EQ(parsed.options->shardCount, 5);

    parsed = parseCommandLine({"-j2", "scans"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->jobs, 2);

    parsed = parseCommandLine({"--merge", "out"});
    ASSERT_TRUE(parsed.options);
    EXPECT_TRUE(parsed.options->merge);
    EXPECT_EQ(parsed.options->outFolder, "out");

    parsed = parseCommandLine({"scans", "--bogus", "--help"});
    EXPECT_FALSE(parsed.options);
    parsed = parseCommandLine({"--help", "--bogus"});
    ASSERT_TRUE(parsed.options);
    EXPECT_TRUE(parsed.options->help);
}

TEST(CommandLine, RefusesBadValuesAndCountsWithAReason) {
    const std::vector<std::vector<std::string>> bad{
        {},
        {"a", "b", "c"},
        {"-j", "0", "scans"},
        {"-j", "-2", "scans"},
        {"-j", "2x", "scans"},
        {"-jx", "scans"},
        {"scans", "-j"},
        {"--shard", "1", "scans"},
        {"--shard", "1/0", "scans"},
        {"--shard", "-1/2", "scans"},
        {"--shard", "a/2", "scans"},
        {"--merge"},
        {"--merge", "a", "b"},
        {"--merge", "--force", "out"},
        {"--merge", "-j", "2", "out"},
        {"--merge", "--shard", "0/2", "out"},
        {"-x", "scans"},
    };
    for (const std::vector<std::string>& arguments : bad) {
        const ParsedCommandLine parsed = parseCommandLine(arguments);
        std::string shown;
        for (const std::string& a : arguments) shown += a + " ";
        EXPECT_FALSE(parsed.options) << shown;
        EXPECT_FALSE(parsed.error.empty()) << shown;
    }
}

TEST(Processes, FindsTheMeasuringProgramBesideFirstThenAlongThePath) {
    TestFolder folder("section_batch_find");
    const fs::path beside = folder.path() / "bin";
    const fs::path first = folder.path() / "first";
    const fs::path second = folder.path() / "second";
    for (const fs::path& dir : {beside, first, second}) fs::create_directories(dir);
    const std::string program = std::string("section_measure") + EXECUTABLE_SUFFIX;
    const auto makeProgram = [&program](const fs::path& dir) {
        writeBytes(dir / program, "#!/bin/sh\n");
        fs::permissions(dir / program, fs::perms::owner_all);
    };
    const std::string separator(1, test_support::pathListSeparator());
    const std::string path = first.u8string() + separator + separator + second.u8string();

    EXPECT_FALSE(findProgram("section_measure", beside, path));
    makeProgram(second);
    EXPECT_EQ(findProgram("section_measure", beside, path), second / program);
    fs::create_directories(first / program);  // a folder of that name: passed over
    EXPECT_EQ(findProgram("section_measure", beside, path), second / program);
    makeProgram(beside);
    EXPECT_EQ(findProgram("section_measure", beside, path), beside / program);
}

TEST(Processes, AChildGetsTheBatchsSharesAndNoneItInherited) {
    const std::vector<std::string> inherited{"HOME=/home/a", "PLANT_SCAN_MEMORY_SHARE=1000",
                                             "SECTION_BATCH_MEMORY_SHARE=1000",
                                             "OPENCV_FOR_THREADS_NUM=3"};
    // Memory unknown to the batch: no share rather than one granted to the batch itself.
    EXPECT_EQ(childEnvironment(inherited, {std::nullopt, std::nullopt}),
              (std::vector<std::string>{"HOME=/home/a", "OPENCV_FOR_THREADS_NUM=3"}));
    EXPECT_EQ(childEnvironment(inherited, {5000, 2}),
              (std::vector<std::string>{"HOME=/home/a", "PLANT_SCAN_MEMORY_SHARE=5000",
                                        "OPENCV_FOR_THREADS_NUM=2"}));
}

TEST(SystemErrors, NamedInTheLanguageOfTheSentenceAlikeOnBothSystems) {
    // Windows gives its own code here, Linux errno's: the same words, not the system's.
    std::error_code missing;
    static_cast<void>(
        std::filesystem::file_size(std::filesystem::path("absent folder") / "absent.jpg", missing));
    ASSERT_TRUE(missing);
    EXPECT_EQ(frenchErrorWords(missing), "fichier ou dossier introuvable");
    EXPECT_EQ(englishErrorWords(missing), "no such file or folder");
    EXPECT_EQ(frenchErrorWords(std::make_error_code(std::errc::no_space_on_device)),
              "disque plein");
    EXPECT_EQ(frenchErrorWords(std::error_code()), "cause inconnue");
}

TEST(Progress, EstimatesTheTimeLeftFromThePaceSoFar) {
    EXPECT_EQ(frenchDuration(0), "moins d'une seconde");
    EXPECT_EQ(frenchDuration(0.6), "1 s");
    EXPECT_EQ(frenchDuration(59.4), "59 s");
    EXPECT_EQ(frenchDuration(185), "3 min 05 s");
    EXPECT_EQ(frenchDuration(3720), "1 h 02 min");

    EXPECT_EQ(progressLine(0, 8, "a.jpg", 5), "0/8 · a.jpg · écoulé 5 s · reste ?");
    EXPECT_EQ(progressLine(2, 8, "c.jpg, d.jpg", 30),
              "2/8 · c.jpg, d.jpg · écoulé 30 s · reste 1 min 30 s");
    EXPECT_EQ(finishedLine(3, 8, "a.jpg", 0, true, 12, LAYOUT), "[3/8] a.jpg : mesuré en 12 s");
    EXPECT_EQ(finishedLine(4, 8, "b.jpg", 2, false, 1, LAYOUT),
              "[4/8] b.jpg : échec, statut 2 (scan absent ou illisible)");
    EXPECT_EQ(finishedLine(5, 8, "c.jpg", 137, false, 1, LAYOUT),
              "[5/8] c.jpg : échec, statut 137 (arrêté par le signal 9)");
}

TEST(CommandLine, TheDocsCopyOfTheHelpIsTheProgramsOwn) {
    EXPECT_EQ(test_support::textBlockUnder(fs::path(DOCS_FOLDER) / "batch.md",
                                           "## `section_batch --help`"),
              helpText())
        << "copy `section_batch --help` into docs/batch.md";
}
