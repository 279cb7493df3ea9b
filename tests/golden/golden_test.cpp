// The programs' whole output pinned: exit status, standard output, and the hash of every file
// written. The expected files were checked against an independent build of the same
// measurement; tools/refresh_golden.sh rewrites them, and only a deliberate change of output
// may run it.
#include "support/run_program.h"
#include "support/sha256.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace test_support;

namespace {

struct GoldenCase {
    const char* name;  // folder of the expected files, beside this source
    const char* program;
    const char* input;      // relative to the repository
    const char* inputName;  // the program's default input, so it runs without arguments
    // The input's pixels saved again under inputName (its extension chooses the format) and
    // named on the command line, rather than the file itself.
    bool reencoded = false;
    const char* threads = nullptr;  // OPENCV_FOR_THREADS_NUM, as the batch sets it; none: unset
};

const fs::path EXPECTED = fs::path(REPOSITORY) / "tests/golden";

// relative path -> hash, from sha256sum's output format.
std::map<std::string, std::string> readHashes(const fs::path& file) {
    std::map<std::string, std::string> hashes;
    for (const std::string& line : splitLines(readBytes(file))) {
        if (line.size() > 66) hashes[line.substr(66)] = line.substr(0, 64);
    }
    return hashes;
}

std::map<std::string, std::string> hashWrittenFiles(const fs::path& folder,
                                                    const std::string& inputName) {
    std::map<std::string, std::string> hashes;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = fs::relative(entry.path(), folder).generic_string();
        if (name != inputName) hashes[name] = sha256Hex(readBytes(entry.path()));
    }
    return hashes;
}

// The first line that differs, with both versions, or "" when the texts are equal.
std::string firstDifferentLine(const std::string& expected, const std::string& actual) {
    const std::vector<std::string> want = splitLines(expected);
    const std::vector<std::string> got = splitLines(actual);
    for (std::size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        const std::string w = i < want.size() ? want[i] : "(no line)";
        const std::string g = i < got.size() ? got[i] : "(no line)";
        if (w != g) {
            std::ostringstream message;
            message << "line " << i + 1 << " differs\n  expected: " << w << "\n  actual:   " << g;
            return message.str();
        }
    }
    return expected == actual ? "" : "the texts differ in their line ends";
}

std::string firstDifferentFile(const std::map<std::string, std::string>& expected,
                               const std::map<std::string, std::string>& actual) {
    for (const auto& [name, hash] : expected) {
        const auto found = actual.find(name);
        if (found == actual.end()) return "\"" + name + "\" was not written";
        if (found->second != hash) return "\"" + name + "\" differs (sha256 " + found->second + ")";
    }
    for (const auto& entry : actual) {
        if (!expected.count(entry.first)) return "\"" + entry.first + "\" was not expected";
    }
    return "";
}

void checkAgainstGolden(const GoldenCase& golden) {
    TestFolder folder(std::string("golden_") + golden.name);
    const fs::path input = fs::path(REPOSITORY) / golden.input;
    std::vector<std::string> arguments;
    if (!golden.reencoded) {
        fs::copy_file(input, folder.path() / golden.inputName);
    } else {
        const cv::Mat pixels = cv::imread(input.string(), cv::IMREAD_COLOR);
        ASSERT_TRUE(cv::imwrite((folder.path() / golden.inputName).string(), pixels));
        arguments.push_back(golden.inputName);
    }
    RunOptions options;
    options.folder = folder.path();
    // No "update.bat" can be found: the leaflet program's script hook does nothing.
    options.environment.emplace_back("PATH", folder.path().string());
    if (golden.threads) options.environment.emplace_back("OPENCV_FOR_THREADS_NUM", golden.threads);
    const RunResult run = runProgram(golden.program, arguments, options);

    const fs::path expected = EXPECTED / golden.name;
    EXPECT_EQ(std::to_string(run.status) + "\n", readBytes(expected / "status.txt"))
        << (golden.threads ? std::string(golden.threads) + " threads, " : "") << "standard error:\n"
        << run.err;
    const std::string lineDiff = firstDifferentLine(readBytes(expected / "stdout.txt"), run.out);
    EXPECT_EQ(lineDiff, "") << "standard output of " << golden.name;
    const std::string fileDiff = firstDifferentFile(
        readHashes(expected / "files.sha256"), hashWrittenFiles(folder.path(), golden.inputName));
    EXPECT_EQ(fileDiff, "") << "files written by " << golden.name;
    if (!lineDiff.empty() || !fileDiff.empty()) {
        folder.keep();
        ADD_FAILURE() << "what the run wrote is kept in " << folder.path();
    }
}

}  // namespace

TEST(Sha256, MatchesTheStandardTestVectors) {
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex(std::string(56, 'a')).substr(0, 16), "b35439a4ac6f0948");
}

TEST(Golden, SmallSection) {
    checkAgainstGolden(
        {"section_small", SECTION_MEASURE_PATH, "tests/golden/small_section.jpg", "section.jpg"});
}

// The same pixels in a TIFF (LZW, as OpenCV and many scanners save it) give the same files:
// the TIFF decoder agrees with the JPEG one, on every system.
TEST(Golden, SmallSectionFromATiff) {
    checkAgainstGolden({"section_small", SECTION_MEASURE_PATH, "tests/golden/small_section.jpg",
                        "section.tif", true});
}

// The same bytes whatever the number of threads: the grabCut passes, k-means, and the images
// encoded while the measurement goes on.
TEST(Golden, SampleSection) {
    for (const char* threads : {"1", "2", "7"}) {
        SCOPED_TRACE(std::string(threads) + " threads");
        checkAgainstGolden({"section_sample", SECTION_MEASURE_PATH, "samples/section.jpg",
                            "section.jpg", false, threads});
    }
}

TEST(Golden, SampleLeaflets) {
    checkAgainstGolden({"leaflet_sample", LEAFLET_CROP_PATH, "samples/leaflet.jpg", "leaflet.jpg"});
}
