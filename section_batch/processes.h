// Running section_measure as child processes, and how many of them the machine holds.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// Cores this process may run on (respects the CPU set of a cluster job).
int availableCores();

// "MemAvailable" of /proc/meminfo, in bytes.
std::optional<std::uint64_t> parseMemAvailable(const std::string& meminfo);

// The files holding the memory limit and usage of each cgroup of this process and of their
// parents, innermost first (cgroup v2, and the memory controller of v1), from the text of
// /proc/self/cgroup. A cluster job's memory limit is set on one of them.
struct CgroupMemoryFiles {
    std::filesystem::path limit;
    std::filesystem::path usage;
};
std::vector<CgroupMemoryFiles> cgroupMemoryFiles(const std::string& procSelfCgroup);

// The least room left under the limits those files set; nothing when none is set.
std::optional<std::uint64_t> cgroupMemoryLeft(const std::vector<CgroupMemoryFiles>& files);

// Peak memory of one measurement: grabCut's models and masks take about this much per pixel.
inline constexpr std::uint64_t BYTES_PER_PIXEL = 220;

// At most `wanted`, no more than `available` holds at `bytesPerJob` each, and at least one.
int jobsThatFit(int wanted, std::uint64_t bytesPerJob, std::uint64_t available);

// French wording of a status of section_measure, for messages.
std::string describeExitStatus(int exitStatus);
