#include "resources/resources.h"
#include "resources/memory_need.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using test_support::TestFolder;
using test_support::writeBytes;

TEST(Resources, ReadsMemAvailableAndTheAddressSpaceLeft) {
    const std::string meminfo =
        "MemTotal:       24683520 kB\nMemFree:        23000000 kB\nMemAvailable:    2000000 kB\n";
    EXPECT_EQ(parseMemAvailable(meminfo), 2000000ULL * 1024);
    EXPECT_FALSE(parseMemAvailable("MemTotal: 100 kB\n"));

    const std::string status =
        "Name:\tsection_measure\nVmPeak:\t  300000 kB\nVmSize:\t  200000 kB\n";
    EXPECT_EQ(addressSpaceLeft(512000ULL * 1024, status), 312000ULL * 1024);
    EXPECT_EQ(addressSpaceLeft(100000ULL * 1024, status), 0u);
    EXPECT_FALSE(addressSpaceLeft(std::nullopt, status));
}

TEST(Resources, ReadsTheTightestCgroupLimitAlongTheHierarchy) {
    const std::vector<CgroupMemoryFiles> v2 = cgroupMemoryFiles("0::/job_7/step_0\n");
    ASSERT_EQ(v2.size(), 3u);
    EXPECT_EQ(v2[0].limit, "/sys/fs/cgroup/job_7/step_0/memory.max");
    EXPECT_EQ(v2[1].usage, "/sys/fs/cgroup/job_7/memory.current");
    EXPECT_EQ(v2[2].limit, "/sys/fs/cgroup/memory.max");
    const std::vector<CgroupMemoryFiles> v1 =
        cgroupMemoryFiles("5:cpuset:/x\n4:memory:/slurm/job_7\n3:cpu,cpuacct:/y\n");
    ASSERT_EQ(v1.size(), 3u);
    EXPECT_EQ(v1[0].limit, "/sys/fs/cgroup/memory/slurm/job_7/memory.limit_in_bytes");
    EXPECT_EQ(v1[2].usage, "/sys/fs/cgroup/memory/memory.usage_in_bytes");
    EXPECT_TRUE(cgroupMemoryFiles("4:cpu:/z\n").empty());

    TestFolder folder("section_batch_cgroup");
    const fs::path f = folder.path();
    writeBytes(f / "step.max", "max\n");
    writeBytes(f / "step.current", "100\n");
    writeBytes(f / "job.max", "1000\n");
    writeBytes(f / "job.current", "300\n");
    writeBytes(f / "v1.limit", "9223372036854771712\n");
    writeBytes(f / "v1.usage", "5\n");
    writeBytes(f / "full.limit", "50\n");
    writeBytes(f / "full.usage", "80\n");
    EXPECT_FALSE(cgroupMemoryLeft({{f / "step.max", f / "step.current"},
                                   {f / "v1.limit", f / "v1.usage"},
                                   {f / "missing", f / "missing"}}));
    EXPECT_EQ(cgroupMemoryLeft(
                  {{f / "step.max", f / "step.current"}, {f / "job.max", f / "job.current"}}),
              700u);
    EXPECT_EQ(cgroupMemoryLeft(
                  {{f / "job.max", f / "job.current"}, {f / "full.limit", f / "full.usage"}}),
              0u);
}

TEST(MemoryNeed, TheTightestLimitDecidesAndABatchShareStandsForTheSharedOnes) {
    constexpr std::uint64_t MB = 1024 * 1024;
    const MemoryNeed need{200, 50 * MB};
    const std::uint64_t pixels = 4 * MB;  // 800 MB + 50 MB
    MemoryRoom room;
    EXPECT_TRUE(checkMemory(pixels, need, room, std::nullopt).fits);  // nothing known

    room.available = 20000 * MB;
    room.cgroupLeft = 600 * MB;
    MemoryVerdict verdict = checkMemory(pixels, need, room, std::nullopt);
    EXPECT_FALSE(verdict.fits);
    EXPECT_EQ(verdict.needed, 850 * MB);
    EXPECT_EQ(verdict.available, 600 * MB);
    EXPECT_EQ(verdict.limit, MemoryLimit::CGROUP);
    const std::string french = memoryShortageMessage(verdict, "a.jpg", Language::FRENCH);
    EXPECT_NE(french.find("« a.jpg » : l'image demande environ 850 Mo et 600 Mo"),
              std::string::npos)
        << french;
    const std::string english = memoryShortageMessage(verdict, "a.jpg", Language::ENGLISH);
    EXPECT_NE(english.find("\"a.jpg\": the scan needs about 850 MB and 600 MB"), std::string::npos)
        << english;

    // The batch budgeted 900 MB for this child out of the job's memory: it is not refused for
    // what its siblings hold.
    verdict = checkMemory(pixels, need, room, 900 * MB);
    EXPECT_TRUE(verdict.fits);
    EXPECT_EQ(verdict.limit, MemoryLimit::SHARE);
    room.addressSpace = 700 * MB;  // each process's own
    EXPECT_EQ(checkMemory(pixels, need, room, 900 * MB).limit, MemoryLimit::ADDRESS_SPACE);

    EXPECT_EQ(parseMemoryShare("943718400"), 943718400u);
    for (const char* bad : {"", "-5", "12 MB", "1e9", "99999999999999999999999"}) {
        EXPECT_FALSE(parseMemoryShare(bad)) << bad;
    }
    EXPECT_FALSE(parseMemoryShare(nullptr));
}

TEST(MemoryNeed, WhatTheProcessAlreadyHoldsIsCountedOnceInItsNeedNotAgainAsUsage) {
    constexpr std::uint64_t MB = 1024 * 1024;
    const MemoryNeed need{100, 50 * MB};
    const std::uint64_t pixels = 2 * MB;  // 250 MB, the 40 MB held at start included
    MemoryRoom room;
    room.cgroupLeft = 220 * MB;  // the limit less a usage that counts those 40 MB
    room.held = 40 * MB;
    MemoryVerdict verdict = checkMemory(pixels, need, room, std::nullopt);
    EXPECT_TRUE(verdict.fits);
    EXPECT_EQ(verdict.available, 260 * MB);
    room.available = 205 * MB;
    verdict = checkMemory(pixels, need, room, std::nullopt);
    EXPECT_FALSE(verdict.fits);
    EXPECT_EQ(verdict.limit, MemoryLimit::AVAILABLE);
    EXPECT_EQ(verdict.available, 245 * MB);
    // A batch's share is the whole child's, its memory at start included.
    EXPECT_FALSE(checkMemory(pixels, need, room, 220 * MB).fits);
}
