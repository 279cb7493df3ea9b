// Where Linux tells a process the limits of its cgroups (a cluster job, a container): the
// folders of its groups, and the CPU quota they set.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::resources {

// The folders of this process's cgroup and of its parents, innermost first, from the text of
// /proc/self/cgroup: the unified hierarchy's (cgroup v2), and `controller`'s in v1.
struct CgroupFolder {
    std::filesystem::path path;
    bool unified;
};
std::vector<CgroupFolder> cgroupFolders(const std::string& procSelfCgroup,
                                        const std::string& controller);

// The cores the CPU quotas of those folders allow, the tightest rounded up (v2's cpu.max,
// v1's cpu.cfs_quota_us over cpu.cfs_period_us); nothing when none is set.
std::optional<int> coresUnderQuota(const std::vector<CgroupFolder>& cpuFolders);

}  // namespace plantscan::resources
