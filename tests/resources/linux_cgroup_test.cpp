// The cores a cgroup's CPU quota allows, along the hierarchy, in both cgroup versions.
#include "resources/linux_cgroup.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace plantscan::resources;
using test_support::TestFolder;
using test_support::writeBytes;

TEST(Resources, FindsEachCgroupFolderOfAController) {
    const std::vector<CgroupFolder> v2 = cgroupFolders("0::/job_7/step_0\n", "cpu");
    ASSERT_EQ(v2.size(), 3u);
    EXPECT_EQ(v2[0].path, "/sys/fs/cgroup/job_7/step_0");
    EXPECT_EQ(v2[2].path, "/sys/fs/cgroup/");
    EXPECT_TRUE(v2[0].unified);
    const std::vector<CgroupFolder> v1 =
        cgroupFolders("5:cpuset:/x\n4:cpuacct:/z\n3:cpu,cpuacct:/slurm/job_7\n", "cpu");
    ASSERT_EQ(v1.size(), 3u);
    EXPECT_EQ(v1[0].path, "/sys/fs/cgroup/cpu/slurm/job_7");
    EXPECT_EQ(v1[2].path, "/sys/fs/cgroup/cpu/");
    EXPECT_FALSE(v1[0].unified);
}

TEST(Resources, CountsTheCoresOfTheTightestCpuQuotaRoundedUp) {
    TestFolder folder("cgroup_cpu");
    const fs::path f = folder.path();
    for (const char* name : {"step", "job", "machine", "v1", "v1_open", "odd"})
        fs::create_directories(f / name);
    writeBytes(f / "step" / "cpu.max", "max 100000\n");
    writeBytes(f / "job" / "cpu.max", "250000 100000\n");
    writeBytes(f / "machine" / "cpu.max", "400000 100000\n");
    writeBytes(f / "v1" / "cpu.cfs_quota_us", "150000\n");
    writeBytes(f / "v1" / "cpu.cfs_period_us", "100000\n");
    writeBytes(f / "v1_open" / "cpu.cfs_quota_us", "-1\n");
    writeBytes(f / "v1_open" / "cpu.cfs_period_us", "100000\n");
    writeBytes(f / "odd" / "cpu.max", "5000 100000\n");
    EXPECT_FALSE(coresUnderQuota({{f / "step", true}, {f / "missing", true}}));
    EXPECT_EQ(coresUnderQuota({{f / "step", true}, {f / "job", true}, {f / "machine", true}}), 3);
    EXPECT_EQ(coresUnderQuota({{f / "v1", false}, {f / "v1_open", false}}), 2);
    EXPECT_EQ(coresUnderQuota({{f / "odd", true}}), 1);
}
