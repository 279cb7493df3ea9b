// Runs a built program as a child process, the way a user would, and captures what it says.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct RunResult {
    int status = -1;  // the exit status; -1 when a signal ended the run
    bool signalled = false;
    int signal = 0;
    std::uint64_t peakBytes = 0;  // the largest resident memory the program reached
    std::string out;
    std::string err;
};

struct RunOptions {
    std::filesystem::path folder;  // where the program runs; empty: here
    std::vector<std::pair<std::string, std::string>> environment;  // variables set or replaced
    std::string pathPrefix;               // searched before PATH, when not empty
    std::uint64_t addressSpaceLimit = 0;  // bytes, as `ulimit -v` would set; 0: none
    bool asNobody = false;                // when root: permissions do not hold root back
};

// Arguments go to the program as they are: no shell reads them. A program named without a
// slash is looked up along PATH. The streams are captured outside every folder the program
// sees. When the child cannot be set up it ends with 120 to 124 and says why on standard error.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options = {});

}  // namespace test_support
