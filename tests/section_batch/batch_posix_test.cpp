// The batch where only a POSIX system can put it.
#include "batch/processes.h"
#include "stand_in_batch.h"

#include <gtest/gtest.h>

using namespace plantscan::batch;

TEST(BatchWithStandIn, StatusesSurviveAnIgnoredChildSignalInheritedFromTheLauncher) {
    Batch b("sigchld");
    for (const char* name : {"a.jpg", "echec.jpg"}) writeBytes(b.scans / name, "x");
    const RunResult result =
        runProgram("bash", {"-c", "trap '' CHLD; exec bin/section_batch scans"}, b.options());
    EXPECT_EQ(result.status, 1);
    const std::vector<std::vector<std::string>> rows =
        readCells(b.folder.path() / "resultats" / "toutes_mesures.csv");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][1], "0");
    EXPECT_EQ(rows[2][1], "1");
}

TEST(Processes, AMeasuringProgramThatMayNotBeRunIsPassedOver) {
    TestFolder folder("section_batch_not_executable");
    const std::filesystem::path beside = folder.path() / "bin";
    const std::filesystem::path onPath = folder.path() / "path";
    for (const std::filesystem::path& dir : {beside, onPath}) {
        std::filesystem::create_directories(dir);
        writeBytes(dir / "section_measure", "#!/bin/sh\n");
    }
    std::filesystem::permissions(beside / "section_measure", std::filesystem::perms::owner_read);
    std::filesystem::permissions(onPath / "section_measure", std::filesystem::perms::owner_all);
    EXPECT_EQ(findProgram("section_measure", beside, onPath.string()), onPath / "section_measure");
}
