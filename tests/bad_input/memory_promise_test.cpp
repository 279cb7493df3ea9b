// The memory promise as a user meets it, on the scans the estimate was measured on: under a
// cgroup limit 10 % below a scan's peak the program refuses it with status 4 and its message
// before the first stage, where the kernel would kill it; 15 % above, it runs to its end.
#include "memory_cgroup.h"
#include "resources/memory_need.h"
#include "support/test_files.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <functional>

using namespace plantscan::resources;
using namespace plantscan::tools;

namespace fs = std::filesystem;
using test_support::RunOptions;
using test_support::runProgram;
using test_support::RunResult;
using test_support::TestFolder;

namespace {

struct PromiseScan {
    std::string name;
    std::string program;
    MemoryNeed need;
    std::string refusal;
    std::function<cv::Mat()> make;
};

cv::Mat section(int width, int height, double noise, double cast) {
    SectionScanParams params;
    params.width = width;
    params.height = height;
    params.center = {width / 2.0, height / 2.0};
    params.radius = 0.35 * std::min(width, height);
    params.sensorNoise = noise;
    params.colourCast = cast;
    return makeSectionScan(params);
}

cv::Mat leaflets(int width, int height) {
    LeafletScanParams params;
    params.width = width;
    params.height = height;
    params.leaves = defaultLeafLayout(width, height);
    return makeLeafletScan(params);
}

// Each run in a folder of its own, with the thread count fixed: the peak depends on it.
RunResult run(const PromiseScan& scan, const fs::path& scanPath, const fs::path& folder,
              const MemoryCgroup* cgroup) {
    fs::create_directories(folder);
    RunOptions options;
    options.folder = folder;
    options.environment = {{"OPENCV_FOR_THREADS_NUM", "2"}};
    if (cgroup == nullptr) return runProgram(scan.program, {scanPath.string()}, options);
    return runInCgroup(*cgroup, scan.program, scanPath.string(), options);
}

}  // namespace

TEST(MemoryPromise, RefusedTenPercentBelowItsPeakAndMeasuredFifteenPercentAbove) {
    if (MemoryCgroup(std::uint64_t{1} << 30).empty()) {
        GTEST_SKIP() << "no memory cgroup can be made here (it needs root and a writable memory "
                        "controller)";
    }
    const std::vector<PromiseScan> scans{
        {"plain_3000.png", SECTION_MEASURE, SECTION_MEASURE_NEED, "mémoire insuffisante pour",
         [] { return section(3000, 3000, 0, 0); }},
        {"colours_2000.png", SECTION_MEASURE, SECTION_MEASURE_NEED, "mémoire insuffisante pour",
         [] { return section(2000, 2000, 3, 6); }},
        {"noise_1200.png", SECTION_MEASURE, SECTION_MEASURE_NEED, "mémoire insuffisante pour",
         [] { return makeNoiseScan(cv::Size(1200, 1200), 1); }},
        {"leaflets_6000x4000.png", LEAFLET_CROP, LEAFLET_CROP_NEED, "Insufficient memory for",
         [] { return leaflets(6000, 4000); }},
    };
    TestFolder folder("memory_promise");
    constexpr double MB = 1024.0 * 1024.0;
    for (const PromiseScan& scan : scans) {
        SCOPED_TRACE(scan.name);
        const fs::path scanPath = folder.path() / scan.name;
        const cv::Mat image = scan.make();
        ASSERT_TRUE(cv::imwrite(scanPath.string(), image));
        const std::uint64_t pixels = static_cast<std::uint64_t>(image.total());

        const RunResult free = run(scan, scanPath, folder.path() / (scan.name + "_free"), nullptr);
        ASSERT_FALSE(free.signalled);
        ASSERT_GT(free.peakBytes, 0u);
        const std::uint64_t need = scan.need.bytesFor(pixels);
        std::cout << scan.name << ": peak " << free.peakBytes / MB << " MB, estimate " << need / MB
                  << " MB" << std::endl;
        // An estimate below the peak breaks the promise under a limit between the two.
        EXPECT_GE(need, free.peakBytes);

        const auto limit = [&](double factor) {
            return static_cast<std::uint64_t>(factor * static_cast<double>(free.peakBytes));
        };
        const MemoryCgroup below(limit(0.9));
        ASSERT_FALSE(below.empty());
        const fs::path refusedFolder = folder.path() / (scan.name + "_below");
        const RunResult refused = run(scan, scanPath, refusedFolder, &below);
        EXPECT_FALSE(refused.signalled) << "killed by signal " << refused.signal;
        EXPECT_EQ(refused.status, 4) << refused.err;
        EXPECT_NE(refused.err.find(scan.refusal), std::string::npos) << refused.err;
        EXPECT_FALSE(fs::exists(refusedFolder / "gray.bmp"));

        const MemoryCgroup above(limit(1.15));
        ASSERT_FALSE(above.empty());
        const RunResult measured =
            run(scan, scanPath, folder.path() / (scan.name + "_above"), &above);
        EXPECT_FALSE(measured.signalled) << "killed by signal " << measured.signal;
        EXPECT_EQ(measured.status, free.status) << measured.err;
        std::cout << "  limits " << limit(0.9) / MB << " MB: status " << refused.status << ", "
                  << limit(1.15) / MB << " MB: status " << measured.status << std::endl;
    }
}
