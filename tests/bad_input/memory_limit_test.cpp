// A scan too large for a cgroup memory limit (a cluster job's --mem) is refused with status 4
// and a message, where the kernel would otherwise kill the run (status 137).
#include "memory_cgroup.h"
#include "support/test_files.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

using namespace plantscan::tools;

namespace fs = std::filesystem;
using test_support::readBytes;
using test_support::RunOptions;
using test_support::RunResult;
using test_support::TestFolder;
using test_support::writeBytes;

TEST(MemoryLimit, UnderACgroupLimitAScanThatDoesNotFitIsRefusedAndOneThatFitsIsMeasured) {
    constexpr std::uint64_t LIMIT = std::uint64_t{300} << 20;
    const MemoryCgroup cgroup(LIMIT);
    if (cgroup.empty()) {
        GTEST_SKIP() << "no memory cgroup can be made here; the bad-input table checks the same "
                        "refusal under an address-space limit";
    }
    std::cout << "memory cgroup: " << cgroup.folder() << std::endl;
    TestFolder folder("memory_limit");

    SectionScanParams small;
    small.width = small.height = 300;
    small.center = {150, 150};
    small.radius = 105;
    SectionScanParams large;  // 9 MP: about 360 MiB needed
    large.width = large.height = 3000;
    large.center = {1500, 1500};
    large.radius = 1000;
    ASSERT_TRUE(cv::imwrite((folder.path() / "small.jpg").string(), makeSectionScan(small)));
    ASSERT_TRUE(cv::imwrite((folder.path() / "large.jpg").string(), makeSectionScan(large)));

    RunOptions options;
    options.folder = folder.path();
    RunResult run = runInCgroup(cgroup, SECTION_MEASURE, "large.jpg", options);
    EXPECT_FALSE(run.signalled) << "killed by signal " << run.signal;
    EXPECT_EQ(run.status, 4) << run.err;
    for (const char* part : {"mémoire insuffisante pour « large.jpg »", " Mo et ", "cgroup"}) {
        EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(folder.path() / "gray.bmp"));  // refused before the first stage

    run = runInCgroup(cgroup, SECTION_MEASURE, "small.jpg", options);
    EXPECT_EQ(run.status, 0) << run.err;

    // Only the header is needed to refuse: a PNG of 8000 x 8000, cut after its header.
    const std::string header = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) +
                               std::string("\0\0\x1f\x40\0\0\x1f\x40\x08\x02\0\0\0", 13);
    writeBytes(folder.path() / "huge.png", header);
    run = runInCgroup(cgroup, LEAFLET_CROP, "huge.png", options);
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find("Insufficient memory for \"huge.png\""), std::string::npos) << run.err;
}
