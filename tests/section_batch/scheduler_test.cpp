#include "section_batch/scheduler.h"

#include <gtest/gtest.h>

TEST(Scheduler, MemoryLowersTheJobCountButNeverBelowOne) {
    // 2000 x 2000 scans take about 880 MB each.
    const std::uint64_t perJob = BYTES_PER_PIXEL * 2000 * 2000;
    const std::uint64_t gigabyte = 1024ULL * 1024 * 1024;
    EXPECT_EQ(jobsThatFit(8, perJob, 2 * gigabyte), 2);
    EXPECT_EQ(jobsThatFit(2, perJob, 64 * gigabyte), 2);
    EXPECT_EQ(jobsThatFit(4, perJob, perJob - 1), 1);
    EXPECT_EQ(jobsThatFit(3, 0, 0), 3);
}
