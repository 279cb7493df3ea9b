#include "batch/run_record.h"
#include "batch/shell_quoting.h"
#include "platform/machine.h"
#include "test_folder.h"

#include <gtest/gtest.h>

using namespace plantscan::batch;
using namespace plantscan::platform;

namespace fs = std::filesystem;

namespace {

RunRecord shardRecord() {
    RunRecord record;
    record.version = "1.0.0";
    record.opencv = "4.6.0";
    record.start = "2026-12-08T06:30:05Z";
    record.end = "2026-12-08T06:31:10Z";
    record.host = "node12";
    record.command = "section_batch -j 2 --shard 0/4 scans resultats";
    record.jobs = 2;
    record.shard = 0;
    record.shardCount = 4;
    record.images = 12;
    record.measured = 10;
    record.skipped = 2;
    return record;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

}  // namespace

TEST(RunRecord, WritesTheAgreedLinesAndReadsThemBack) {
    // The format the results page reads too, written out by hand.
    const std::string expected =
        "version: 1.0.0\r\nopencv: 4.6.0\r\ndebut: 2026-12-08T06:30:05Z\r\n"
        "fin: 2026-12-08T06:31:10Z\r\nmachine: node12\r\n"
        "commande: section_batch -j 2 --shard 0/4 scans resultats\r\nmode: mesure\r\n"
        "jobs: 2\r\nmorceau: 0/4\r\nforce: non\r\nimages: 12\r\nmesurees: 10\r\n"
        "sautees: 2\r\nechecs: 0\r\n";
    EXPECT_EQ(formatRunRecord(shardRecord()), expected);
    EXPECT_EQ(parseRunRecord(expected), shardRecord());
    // The key added since: after every older line, which keep their place; a record from
    // before it still reads, the count unknown.
    RunRecord counted = shardRecord();
    counted.otherResolution = 2;
    EXPECT_EQ(formatRunRecord(counted), expected + "autre_resolution: 2\r\n");
    EXPECT_EQ(parseRunRecord(expected + "autre_resolution: 2\r\n"), counted);
    EXPECT_FALSE(parseRunRecord(expected)->otherResolution);

    RunRecord merge = shardRecord();
    merge.mode = RunMode::MERGE;
    merge.jobs.reset();
    merge.shard.reset();
    merge.shardCount = 1;
    merge.force = true;
    merge.failed = 3;
    const std::string text = formatRunRecord(merge);
    EXPECT_NE(text.find("\r\nmode: fusion\r\njobs: \r\nmorceau: aucun\r\nforce: oui\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(parseRunRecord(text), merge);

    for (const std::string& damaged :
         {std::string(), expected.substr(0, expected.size() - 2), replaced(expected, "\r\n", "\n"),
          replaced(expected, "images: 12", "images: douze"),
          replaced(expected, "jobs: 2", "jobs: 0"),
          replaced(expected, "morceau: 0/4", "morceau: 0/0"),
          replaced(expected, "force: non", "force: peut-etre"),
          replaced(expected, "mode: mesure", "mode: autre"),
          replaced(expected, "06:31:10Z", "06:31:10"),
          replaced(expected, "opencv: 4.6.0\r\ndebut", "debut"), expected + "extra\r\n",
          expected + "autre_resolution: deux\r\n",
          expected + "autre_resolution: 2\r\nautre_resolution: 2\r\n"}) {
        EXPECT_FALSE(parseRunRecord(damaged)) << damaged;
    }
    // A key a newer version added is passed over, wherever it stands, and read as no other.
    EXPECT_EQ(parseRunRecord(replaced(expected, "echecs: 0\r\n", "echecs: 0\r\nlot: 3\r\n")),
              shardRecord());
    EXPECT_EQ(parseRunRecord(replaced(expected, "version:", "serie: 7\r\nversion:")),
              shardRecord());
}

TEST(RunRecord, OneFilePerRunNamedByStartHostAndProcessReadBackOldestFirst) {
    RunRecord record = shardRecord();
    record.host = "node 12/\xC3\xA9.lab";
    EXPECT_EQ(runRecordFileName(record, 4321), "20261208T063005Z_node_12___.lab_4321.txt");

    TestFolder folder("section_batch_records");
    RunRecord later = shardRecord();
    later.start = "2026-12-09T00:00:00Z";
    later.end = "2026-12-09T00:00:01Z";
    ASSERT_TRUE(writeRunRecord(folder.path(), later));
    ASSERT_TRUE(writeRunRecord(folder.path(), record));
    const fs::path records = folder.path() / RUN_RECORD_FOLDER;
    EXPECT_TRUE(fs::exists(records / runRecordFileName(record, processId())));
    // A damaged record and a temporary file left by a crash are passed over.
    writeBytes(records / "20261207T000000Z_x_1.txt", "version: 1.0.0\r\n");
    writeBytes(records / "20261207T000000Z_x_2.txt.tmp-2", formatRunRecord(record));

    EXPECT_EQ(readRunRecords(folder.path()), (std::vector<RunRecord>{record, later}));
    EXPECT_TRUE(readRunRecords(folder.path() / "missing").empty());
}

TEST(RunRecord, TheCommandLineIsQuotedAsTheShellWouldTakeItBack) {
    EXPECT_EQ(commandLineText({"section_batch", "-j", "2", "scans", "r\xC3\xA9sultats"}),
              "section_batch -j 2 scans r\xC3\xA9sultats");
    EXPECT_EQ(commandLineText({"section_batch", "mes scans", "l'an 2", "", "$HOME", "a\nb\\c"}),
              "section_batch 'mes scans' 'l'\\''an 2' '' '$HOME' $'a\\nb\\\\c'");
}
