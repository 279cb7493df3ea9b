// Where Linux tells a process its memory: /proc and the cgroup files of a cluster job.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::resources {

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

}  // namespace plantscan::resources
