// Running section_measure as child processes.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

// Beside section_batch first, then along the PATH (colon-separated, an empty entry being the
// current folder); the path returned is absolute.
std::optional<std::filesystem::path> findMeasureProgram(const std::filesystem::path& ownFolder,
                                                        const std::string& pathVariable);

// Folder of the running executable.
std::filesystem::path ownFolder();

// Starts `program scan` in `folder`, its standard output going to console.txt and its
// standard error to erreurs.txt there, standard input from /dev/null. -1 if fork failed.
// A program that cannot be executed ends with NOT_STARTED.
pid_t startMeasurement(const std::filesystem::path& program, const std::filesystem::path& scan,
                       const std::filesystem::path& folder);

inline constexpr int NOT_STARTED = 127;

struct FinishedChild {
    pid_t pid = 0;       // 0: no child is left to wait for
    int exitStatus = 0;  // 128 + the signal for a child killed by a signal, as shells do
};

// Waits for any child up to timeoutMs (forever when negative); nothing if none ended in time.
std::optional<FinishedChild> waitForChild(int timeoutMs);

// French wording of a status of section_measure, for messages.
std::string describeExitStatus(int exitStatus);
