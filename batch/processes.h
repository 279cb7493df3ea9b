// Running the measuring program as child processes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The program `name` beside the batch first, then along the PATH (colon-separated, an empty
// entry being the current folder); the path returned is absolute.
std::optional<std::filesystem::path> findProgram(const std::string& name,
                                                 const std::filesystem::path& ownFolder,
                                                 const std::string& pathVariable);

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

// Starts `program arguments...` in `folder`, its standard output going to console.txt and its
// standard error to erreurs.txt there, standard input from /dev/null, with its share in its
// environment. -1 if fork failed. A program that cannot be executed ends with NOT_STARTED.
// The child ends with SIGTERM if the batch dies first.
pid_t startMeasurement(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments,
                       const std::filesystem::path& folder, const ChildShare& share = {});

inline constexpr int NOT_STARTED = 127;

struct FinishedChild {
    pid_t pid = 0;       // 0: no child is left to wait for
    int exitStatus = 0;  // 128 + the signal for a child killed by a signal, as shells do
    int stopSignal = 0;  // not 0: section_batch was asked to stop by this signal (pid is 0)
};

// The signals that end a batch (SIGINT, SIGTERM, SIGHUP) are held back from now on, so that
// waitForChild reports them and the batch can end its children before it ends. Children
// started later get them back.
void holdStopSignals();

// Waits for any child up to timeoutMs (forever when negative); nothing if none ended and no
// stop signal came in time.
std::optional<FinishedChild> waitForChild(int timeoutMs);

// Sends `signal` to each of `pids`, then waits for them all to end.
void stopChildren(const std::vector<pid_t>& pids, int signal);
