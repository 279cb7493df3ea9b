// Running the measuring program as child processes: processes_posix.cpp and
// processes_windows.cpp are each system's way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::batch {

// The program `name` beside the batch first, then along the PATH (an empty entry being the
// current folder); the path returned is absolute. The system says how the PATH is separated
// and what the program's file is (on Windows the name gains ".exe").
std::optional<std::filesystem::path> findProgram(const std::string& name,
                                                 const std::filesystem::path& ownFolder,
                                                 const std::string& pathVariable);

// Whether the command interpreter would find `command`, a file name with its extension (as
// "update.bat"): on Windows cmd.exe looks in the current folder, then along the PATH; on Linux
// sh along the PATH only. True without a PATH: the interpreter has its own default.
bool commandInterpreterFinds(const std::string& command);

// The running executable; empty when it cannot be told.
std::filesystem::path ownExecutable();

// Folder of the running executable.
std::filesystem::path ownFolder();

// What one child may take of the batch's machine, passed in its environment.
struct ChildShare {
    std::optional<std::uint64_t> memory;  // bytes; none when unknown
    std::optional<int> threads;           // OpenCV's threads; none: all cores
};

// OpenCV reads it once the program calls cv::setNumThreads(-1).
inline constexpr const char* THREADS_VARIABLE = "OPENCV_FOR_THREADS_NUM";

// The environment of a child: `inherited` ("NAME=value"), with its shares replaced. A memory
// share inherited from elsewhere, under either name, never reaches it; a thread count set by
// the user does, unless the batch sets one.
std::vector<std::string> childEnvironment(const std::vector<std::string>& inherited,
                                          const ChildShare& share);

// A child's process id.
using ChildId = std::int64_t;

struct FinishedChild {
    ChildId id = 0;      // 0: no child is left to wait for
    int exitStatus = 0;  // 128 + the signal for a child killed by a signal, as shells do
    int stopSignal = 0;  // not 0: the batch was asked to stop by this signal (id is 0)
};

// The measurements of a batch. From its making, what asks the batch to stop is held back and
// reported by waitForChild, so that the batch ends its children before it ends: on Linux
// SIGINT, SIGTERM and SIGHUP (children get them back); on Windows Ctrl-C, Ctrl-Break and a
// closed console, reported as SIGINT, SIGBREAK (21) and SIGHUP. Children end with the batch,
// whatever ends it: on Linux each gets SIGTERM when the batch dies; on Windows they run in a
// job object that ends them when the batch's last handle to it closes, and without the console,
// whose events reach the batch alone.
class Measurements {
public:
    Measurements();
    ~Measurements();
    Measurements(const Measurements&) = delete;
    Measurements& operator=(const Measurements&) = delete;

    // Starts `program arguments...` in `folder`, its standard output going to console.txt and
    // its standard error to erreurs.txt there, standard input from the null device, with its
    // share in its environment; -1 when no process could be made. A program that cannot be
    // executed ends with NOT_STARTED, saying why in erreurs.txt.
    ChildId start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& folder, const ChildShare& share = {});

    // Waits for any child up to timeoutMs (forever when negative); nothing if none ended and no
    // stop came in time.
    std::optional<FinishedChild> waitForChild(int timeoutMs);

    // Ends every child still running (on Linux with `signal`), then waits for them all.
    void stopAll(int signal);

private:
    struct Children;  // the system's record of the running children
    std::unique_ptr<Children> children_;
};

}  // namespace plantscan::batch
