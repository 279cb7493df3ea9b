// The batch driven end to end with a stand-in for section_measure: a small script that
// records how it was called, writes a report in the exact format, and fails on demand.
#include "batch/run_record.h"
#include "batch/scan_folder.h"
#include "section_batch/section_kind.h"
#include "test_folder.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <opencv2/core/version.hpp>
#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace {

const std::string batch = SECTION_BATCH_BINARY;

// Scans named "echec..." fail with status 1, "tue..." are killed, "lent..." sleep; "fd..." list
// their open descriptors and keep their memory share; the others get a report whose first value
// is the length of their name, so rows can be told apart.
void writeStandIn(const fs::path& folder, const fs::path& callLog) {
    fs::create_directories(folder);
    const fs::path script = folder / "section_measure";
    writeBytes(script,
               "#!/bin/sh\n"
               "printf '%s\\n' \"$1\" >> '" +
                   callLog.string() +
                   "'\n"
                   "echo \"argument=$1\"\n"
                   "echo \"dossier=$(pwd -P)\"\n"
                   "case \"$(basename \"$1\")\" in\n"
                   "  echec*) echo 'pas de section ici' >&2; exit 1 ;;\n"
                   "  tue*) kill -9 $$ ;;\n"
                   "  lent*) echo $$ > pid.txt; exec sleep 60 ;;\n"
                   "  fd*) ls /proc/$$/fd > fds.txt; printf %s \"$SECTION_BATCH_MEMORY_SHARE\" > "
                   "part.txt; printf %s \"$OPENCV_FOR_THREADS_NUM\" > threads.txt ;;\n"
                   "esac\n"
                   "n=$(basename \"$1\" | wc -c)\n"
                   "{\n"
                   "printf '%s\\r\\n' 'Mesure;Angle/creux 1;Angle/creux 2;Angle/creux "
                   "3;Angle/creux 4;Angle/creux 5'\n"
                   "printf '%s\\r\\n' \"Rayon de courbure de l'angle (mm);$n,5;1;2;3;4;\"\n"
                   "printf '%s\\r\\n' 'Rayon de courbure du creux (mm);5;6;7;8;9;'\n"
                   "printf '%s\\r\\n' 'Profondeur du creux (mm);0,1;0,2;0,3;0,4;0,5;'\n"
                   "printf '%s\\r\\n' 'Distance du creux avec le cercle circonscrit "
                   "(mm);1,1;1,2;1,3;1,4;1,5;'\n"
                   "printf '%s\\r\\n' 'Ratio de la  distance du creux  avec le cercle circonscrit "
                   "avec le rayon du cercle (%);10;20;30;40;-0;'\n"
                   "printf '%s\\r\\n' 'Largeur primocanne  (mm) : ;9,87'\n"
                   "printf '%s\\r\\n' 'Diam\xC3\xA8tre cercle circonscrit  (mm) : ;10,46'\n"
                   "printf '%s\\r\\n' 'Diam\xC3\xA8tre cercle inscrit  (mm) : ;1,23457e+06'\n"
                   "} > mesures.csv\n");
    ::chmod(script.c_str(), 0755);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        result.push_back(text.substr(start, end - start));
    }
    return result;
}

std::vector<std::string> calledScans(const fs::path& callLog) {
    std::vector<std::string> names;
    for (const std::string& path : lines(readBytes(callLog))) {
        names.push_back(fs::path(path).filename().string());
    }
    std::sort(names.begin(), names.end());
    fs::remove(callLog);
    return names;
}

// section_batch copied beside the stand-in, where it looks first.
struct Batch {
    TestFolder folder;
    fs::path scans = folder.path() / "scans";
    fs::path bin = folder.path() / "bin";
    fs::path callLog = folder.path() / "calls.txt";

    explicit Batch(const std::string& name) : folder("section_batch_" + name) {
        fs::create_directories(scans);
        writeStandIn(bin, callLog);
        fs::copy_file(batch, bin / "section_batch");
    }
    RunResult run(const std::vector<std::string>& arguments) {
        RunOptions options;
        options.folder = folder.path();
        return runProgram("bin/section_batch", arguments, options);
    }
};

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
        if (entry.is_directory()) folders.push_back(entry.path().filename().string());
    }
    std::sort(folders.begin(), folders.end());
    const std::vector<std::string> scans{"a.jpg", "b c.png", "echec.jpg", "tue.TIF"};
    folders.erase(std::remove(folders.begin(), folders.end(), RUN_RECORD_FOLDER), folders.end());
    EXPECT_EQ(folders, scans);

    // The child ran in its own folder, given the scan's absolute path, streams split.
    const std::string console = readBytes(out / "b c.png" / "console.txt");
    EXPECT_EQ(console, "argument=" + fs::canonical(b.scans / "b c.png").string() +
                           "\ndossier=" + fs::canonical(out / "b c.png").string() + "\n");
    EXPECT_EQ(readBytes(out / "echec.jpg" / "erreurs.txt"), "pas de section ici\n");
    EXPECT_EQ(readBytes(out / "a.jpg" / "erreurs.txt"), "");

    const std::vector<std::vector<std::string>> rows = readCells(out / "toutes_mesures.csv");
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].size(), 30u);
    const std::vector<std::string> statuses{"0", "0", "1", "137"};
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
    EXPECT_NE(result.out.find("tue.TIF (statut 137)"), std::string::npos) << result.out;
    EXPECT_EQ(calledScans(b.callLog), scans);
}

TEST(BatchWithStandIn, ResumesOnlyWhatIsNotCompleteAndForceMeasuresAll) {
    Batch b("resume");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "echec.jpg"})
        writeBytes(b.scans / name, "x");
    ASSERT_EQ(b.run({"scans", "out"}).status, 1);
    EXPECT_EQ(calledScans(b.callLog).size(), 4u);
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
    writeBytes(b.bin / "section_measure", "#!/bin/sh\nexit 4\n");
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
    fs::copy_file(batch, alone / "section_batch");

    RunOptions options;
    options.folder = b.folder.path();
    options.pathPrefix = b.bin.string();
    EXPECT_EQ(runProgram("alone/section_batch", {"scans"}, options).status, 0);
    EXPECT_EQ(calledScans(b.callLog), std::vector<std::string>{"a.jpg"});

    writeBytes(alone / "section_measure", "#!/bin/sh\necho beside\nexit 3\n");
    ::chmod((alone / "section_measure").c_str(), 0755);
    EXPECT_EQ(runProgram("alone/section_batch", {"--force", "scans"}, options).status, 1);
    EXPECT_EQ(readBytes(b.folder.path() / "resultats" / "a.jpg" / "console.txt"), "beside\n");
    EXPECT_FALSE(fs::exists(b.callLog));

    // Without the program anywhere nothing can be measured.
    fs::remove(alone / "section_measure");
    options.pathPrefix.clear();
    options.environment = {{"PATH", "/nonexistent"}};
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

TEST(BatchWithStandIn, StatusesSurviveAnIgnoredChildSignalInheritedFromTheLauncher) {
    Batch b("sigchld");
    for (const char* name : {"a.jpg", "echec.jpg"}) writeBytes(b.scans / name, "x");
    RunOptions options;
    options.folder = b.folder.path();
    const RunResult result =
        runProgram("bash", {"-c", "trap '' CHLD; exec bin/section_batch scans"}, options);
    EXPECT_EQ(result.status, 1);
    const std::vector<std::vector<std::string>> rows =
        readCells(b.folder.path() / "resultats" / "toutes_mesures.csv");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][1], "0");
    EXPECT_EQ(rows[2][1], "1");
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
    ASSERT_EQ(b.run({"scans", "out"}).status, 0);
    const fs::path folder = b.folder.path() / "out" / "fd.jpg";
    const std::vector<std::string> descriptors =
        test_support::splitLines(readBytes(folder / "fds.txt"));
    EXPECT_GE(descriptors.size(), 3u);
    // The shell keeps its script at 10 or above.
    for (const std::string& fd : descriptors) {
        EXPECT_TRUE(std::stoi(fd) <= 2 || std::stoi(fd) >= 10)
            << "descriptor " << fd << " inherited";
    }
    const std::string share = readBytes(folder / "part.txt");
    ASSERT_FALSE(share.empty());
    EXPECT_GT(std::stoull(share), 0u);
    // As many at once as cores: one thread each.
    EXPECT_EQ(readBytes(folder / "threads.txt"), "1");
}

namespace {

// Gone, or a zombie nobody waits for.
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

}  // namespace

TEST(BatchWithStandIn, ChildrenEndWithTheBatchWhateverEndsIt) {
    for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
        SCOPED_TRACE("signal " + std::to_string(signal));
        Batch b("stopped_" + std::to_string(signal));
        writeBytes(b.scans / "lent.jpg", "x");
        const fs::path pidFile = b.folder.path() / "out" / "lent.jpg" / "pid.txt";
        const std::string program = (b.bin / "section_batch").string();
        const std::string scans = b.scans.string();
        const std::string out = (b.folder.path() / "out").string();
        char* const arguments[] = {const_cast<char*>(program.c_str()),
                                   const_cast<char*>(scans.c_str()), const_cast<char*>(out.c_str()),
                                   nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t batchPid = 0;
        ASSERT_EQ(posix_spawn(&batchPid, program.c_str(), &actions, nullptr, arguments, environ),
                  0);
        posix_spawn_file_actions_destroy(&actions);

        pid_t sleeper = 0;
        for (int i = 0; i < 200 && sleeper == 0; ++i) {
            std::ifstream(pidFile) >> sleeper;
            if (sleeper == 0) usleep(50000);
        }
        ASSERT_GT(sleeper, 0) << "the stand-in never started";
        const auto stopped = std::chrono::steady_clock::now();
        ::kill(batchPid, signal);
        int waitStatus = 0;
        ASSERT_EQ(::waitpid(batchPid, &waitStatus, 0), batchPid);
        // The child, asleep for a minute, was stopped, not waited for to the end.
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - stopped;
        EXPECT_LT(took.count(), 10.0) << "seconds from the signal to the batch's end";
        if (signal == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(waitStatus));
        } else {
            ASSERT_TRUE(WIFEXITED(waitStatus)) << "killed by " << WTERMSIG(waitStatus);
            EXPECT_EQ(WEXITSTATUS(waitStatus), 128 + signal);
        }
        for (int i = 0; i < 100 && !ended(sleeper); ++i) usleep(50000);
        EXPECT_TRUE(ended(sleeper)) << "the child outlived the batch";
        ::kill(sleeper, SIGKILL);
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
    const std::string name = added.filename().string();
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
        before[entry.path().filename().string()] = readBytes(entry.path());
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
