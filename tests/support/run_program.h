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
// slash is looked up along PATH. Its input is empty; its output and errors are captured outside
// every folder the program sees. When the child cannot be set up it ends with 120 to 124 and
// says why on standard error. On Windows the lines of both streams come back with "\n" alone,
// as on Linux, and an exception that ends the program (0xC0000005...) counts as a signal.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options = {});

// The status a program's `return returned;` from main gives: its low 8 bits on POSIX (-1 is
// 255), the whole value on Windows.
int exitStatusFor(int returned);

// Whether a folder without write permission keeps the programs run by runProgram from writing
// into it. POSIX: yes (as root, they run as nobody). Windows: not with the permissions the
// tests can set (a read-only attribute, or wine run as root).
bool readOnlyFoldersHoldBack();

// A program started and left to run, its streams going nowhere, until ended from outside.
struct BackgroundProgram {
    long id = 0;             // its process id; 0 when it could not be started
    void* handle = nullptr;  // Windows: its process handle
};
BackgroundProgram startInBackground(const std::string& program,
                                    const std::vector<std::string>& arguments,
                                    const RunOptions& options = {});

// A way to end a program from outside. POSIX: SIGTERM and SIGINT, which it may handle (its
// status is then expected to be 128 + the signal), and SIGKILL, which it cannot. Windows:
// TerminateProcess, which it cannot handle; the console's events cannot be sent where the tests
// run (under wine, without a console).
struct Ending {
    std::string name;
    int code = 0;          // the signal, or the exit code given
    bool handled = false;  // the program may see it and end in its own way
};
std::vector<Ending> endingsFromOutside();
void endFromOutside(const BackgroundProgram& program, const Ending& ending);

// Waits for it to end: its exit status, or -1 when it was ended without a say.
int waitForEnd(BackgroundProgram& program);

// Whether the process of that id has ended (or lives on only as a zombie nobody waits for).
bool processHasEnded(long id);

// For a stand-in program: ends this process as a crash would, and the status the batch gives a
// child ended so (POSIX: SIGKILL's 137; Windows: an access violation's, 128 + SIGSEGV).
[[noreturn]] void endAsCrashed();
int crashedStatus();

// The files this process holds open beyond its three standard streams: POSIX, its descriptors
// above 2; Windows lists none.
std::vector<int> openFilesBeyondStandardStreams();

// What separates the folders of the PATH: ':' on POSIX, ';' on Windows.
char pathListSeparator();

// Whether a program run with RunOptions::addressSpaceLimit sees that limit. POSIX: yes. Windows:
// where the system reports a job object's limits to the processes in it (wine does not).
bool memoryLimitsAreSeen();

}  // namespace test_support
