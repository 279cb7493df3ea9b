#include "batch/scheduler.h"

#include "resources/memory_need.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

using namespace plantscan::batch;
using namespace plantscan::resources;

namespace fs = std::filesystem;
using test_support::TestFolder;
using test_support::writeBytes;

TEST(Scheduler, MemoryLowersTheJobCountButNeverBelowOne) {
    const std::uint64_t gigabyte = 1024ULL * 1024 * 1024;
    const std::uint64_t perJob = gigabyte;
    EXPECT_EQ(jobsThatFit(8, perJob, 2 * gigabyte), 2);
    EXPECT_EQ(jobsThatFit(2, perJob, 64 * gigabyte), 2);
    EXPECT_EQ(jobsThatFit(4, perJob, perJob - 1), 1);
    EXPECT_EQ(jobsThatFit(3, 0, 0), 3);
    // Together the children use every core and no more, each at least one.
    EXPECT_EQ(threadsPerJob(2, 1), 2);
    EXPECT_EQ(threadsPerJob(8, 3), 2);
    EXPECT_EQ(threadsPerJob(2, 3), 1);
}

TEST(Scheduler, TheLargestScanIsCountedInSixtyFourBitsAndAnUndecodableOneStopsNothing) {
    TestFolder folder("scheduler_largest");
    // Headers alone: a PNG of 50000 x 50000 (2.5 billion pixels, past int), and a PGM named
    // .png, which the header reader does not know and the decoder refuses by throwing.
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) +
                            std::string("\0\0\xc3\x50\0\0\xc3\x50\x08\x02\0\0\0", 13);
    writeBytes(folder.path() / "huge.png", png);
    writeBytes(folder.path() / "odd.png", "P5\n50000 50000\n255\n");
    std::vector<PendingScan> scans{{"odd.png", folder.path() / "odd.png", {}},
                                   {"huge.png", folder.path() / "huge.png", {}}};
    EXPECT_EQ(largestPixelCount(scans), 2500000000ULL);
}
