// A scan too large for a cgroup memory limit (a cluster job's --mem) is refused with status 4
// and a message, where the kernel would otherwise kill the run (status 137).
#include "support/run_program.h"
#include "support/test_files.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using test_support::readBytes;
using test_support::RunOptions;
using test_support::runProgram;
using test_support::RunResult;
using test_support::TestFolder;
using test_support::writeBytes;

namespace {

bool writeValue(const fs::path& file, const std::string& value) {
    std::ofstream out(file);
    out << value << std::flush;
    return static_cast<bool>(out);
}

// A memory cgroup made for the test (as root), removed at the end; empty() when the machine
// allows none: no root, or no writable memory controller (v2 at the top, or v1 beside ours).
class MemoryCgroup {
public:
    explicit MemoryCgroup(std::uint64_t limit) {
        if (::geteuid() != 0) return;
        const std::string name = "plant_memory_test_" + std::to_string(::getpid());
        const std::string controllers = readBytes("/sys/fs/cgroup/cgroup.subtree_control");
        if (controllers.find("memory") != std::string::npos) {
            make("/sys/fs/cgroup/" + name, "memory.max", limit);
            return;
        }
        std::istringstream lines(readBytes("/proc/self/cgroup"));
        for (std::string line; std::getline(lines, line);) {
            const std::size_t colon = line.find(":memory:");
            if (colon == std::string::npos) continue;
            const fs::path own = line.substr(colon + 8);
            make(fs::path("/sys/fs/cgroup/memory") / own.relative_path() / name,
                 "memory.limit_in_bytes", limit);
        }
    }
    ~MemoryCgroup() {
        std::error_code error;
        if (!folder_.empty()) fs::remove(folder_, error);  // rmdir: the files go with it
    }
    bool empty() const { return folder_.empty(); }
    const fs::path& folder() const { return folder_; }

private:
    void make(const fs::path& folder, const std::string& limitFile, std::uint64_t limit) {
        std::error_code error;
        if (!fs::create_directory(folder, error) || error) return;
        if (!writeValue(folder / limitFile, std::to_string(limit))) {
            fs::remove(folder, error);
            return;
        }
        // Without swap counted, v1 would swap rather than stop at the limit.
        if (fs::exists(folder / "memory.memsw.limit_in_bytes")) {
            writeValue(folder / "memory.memsw.limit_in_bytes", std::to_string(limit));
        }
        // A container may let the folder be made and still refuse to move a process into it.
        const std::string enter = "echo $$ > '" + (folder / "cgroup.procs").string() + "'";
        if (runProgram("/bin/sh", {"-c", enter}).status != 0) {
            fs::remove(folder, error);
            return;
        }
        folder_ = folder;
    }
    fs::path folder_;
};

// The program runs inside the cgroup: a shell enters it, then becomes the program.
RunResult runInCgroup(const MemoryCgroup& cgroup, const std::string& program,
                      const std::string& scan, const fs::path& folder) {
    RunOptions options;
    options.folder = folder;
    const std::string enter =
        "echo $$ > '" + (cgroup.folder() / "cgroup.procs").string() + "' && exec \"$0\" \"$@\"";
    return runProgram("/bin/sh", {"-c", enter, program, scan}, options);
}

}  // namespace

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
    SectionScanParams large;  // 4 MP: about 920 MB
    large.width = large.height = 2000;
    large.center = {1000, 1000};
    large.radius = 700;
    ASSERT_TRUE(cv::imwrite((folder.path() / "small.jpg").string(), makeSectionScan(small)));
    ASSERT_TRUE(cv::imwrite((folder.path() / "large.jpg").string(), makeSectionScan(large)));

    RunResult run = runInCgroup(cgroup, SECTION_MEASURE, "large.jpg", folder.path());
    EXPECT_FALSE(run.signalled) << "killed by signal " << run.signal;
    EXPECT_EQ(run.status, 4) << run.err;
    for (const char* part : {"mémoire insuffisante pour « large.jpg »", " Mo et ", "cgroup"}) {
        EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(folder.path() / "gray.bmp"));  // refused before the first stage

    run = runInCgroup(cgroup, SECTION_MEASURE, "small.jpg", folder.path());
    EXPECT_EQ(run.status, 0) << run.err;

    // Only the header is needed to refuse: a PNG of 8000 x 8000, cut after its header.
    const std::string header = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) +
                               std::string("\0\0\x1f\x40\0\0\x1f\x40\x08\x02\0\0\0", 13);
    writeBytes(folder.path() / "huge.png", header);
    run = runInCgroup(cgroup, LEAFLET_CROP, "huge.png", folder.path());
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find("Insufficient memory for \"huge.png\""), std::string::npos) << run.err;
}
