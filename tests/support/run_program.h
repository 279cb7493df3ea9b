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
// On Windows the lines of both streams come back with "\n" alone, as on Linux, and an exception
// that ends the program (0xC0000005...) counts as a signal.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options = {});

// The status a program's `return returned;` from main gives: its low 8 bits on POSIX (-1 is
// 255), the whole value on Windows.
int exitStatusFor(int returned);

// Whether a folder without write permission keeps the programs run by runProgram from writing
// into it. POSIX: yes (as root, they run as nobody). Windows: not with the permissions the
// tests can set (a read-only attribute, or wine run as root).
bool readOnlyFoldersHoldBack();

// Whether a program run with RunOptions::addressSpaceLimit sees that limit. POSIX: yes. Windows:
// where the system reports a job object's limits to the processes in it (wine does not).
bool memoryLimitsAreSeen();

}  // namespace test_support
