// What the machine lets this process use: cores, and memory under every limit that applies
// (free memory, the cgroup limits of a cluster job, the address-space limit of `ulimit -v`).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// RLIMIT_AS less the address space already taken ("VmSize" of /proc/self/status, in bytes);
// nothing when no limit is set.
std::optional<std::uint64_t> addressSpaceLeft(std::optional<std::uint64_t> limit,
                                              const std::string& procSelfStatus);
std::optional<std::uint64_t> addressSpaceLimit();

// What this process may still take, under each limit; nothing where the limit is unknown.
struct MemoryRoom {
    std::optional<std::uint64_t> available;     // MemAvailable
    std::optional<std::uint64_t> cgroupLeft;    // the tightest cgroup limit less its usage
    std::optional<std::uint64_t> addressSpace;  // RLIMIT_AS less the address space in use
    std::optional<std::uint64_t> held;          // its own memory already in use (RssAnon)
};
MemoryRoom probeMemoryRoom();

// The tightest of the three; nothing when none is known.
std::optional<std::uint64_t> tightest(const MemoryRoom& room);

// The whole text of a small file (those of /proc and /sys); empty when it cannot be read.
std::string readSmallFile(const std::filesystem::path& path);
