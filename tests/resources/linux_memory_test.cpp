// Where Linux tells a process its memory: /proc and a cluster job's cgroup files.
#include "resources/linux_memory.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

using namespace plantscan::resources;

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
