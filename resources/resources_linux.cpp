#include "resources/linux_cgroup.h"
#include "resources/linux_memory.h"
#include "resources/resources.h"

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

namespace plantscan::resources {

namespace fs = std::filesystem;

int availableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    int cores = ::sched_getaffinity(0, sizeof(set), &set) == 0
                    ? CPU_COUNT(&set)
                    : static_cast<int>(std::thread::hardware_concurrency());
    const std::optional<int> quota =
        coresUnderQuota(cgroupFolders(readSmallFile("/proc/self/cgroup"), "cpu"));
    if (quota) cores = std::min(cores, *quota);
    return std::max(1, cores);
}

std::vector<CgroupFolder> cgroupFolders(const std::string& procSelfCgroup,
                                        const std::string& controller) {
    std::vector<CgroupFolder> folders;
    std::istringstream lines(procSelfCgroup);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
        const bool unified = line.compare(0, first, "0") == 0 && controllers == ",,";
        if (!unified && controllers.find("," + controller + ",") == std::string::npos) continue;
        const fs::path root =
            unified ? fs::path("/sys/fs/cgroup") : fs::path("/sys/fs/cgroup") / controller;
        for (fs::path group = line.substr(second + 1);; group = group.parent_path()) {
            folders.push_back({root / group.relative_path(), unified});
            if (group == group.parent_path()) break;
        }
    }
    return folders;
}

std::optional<int> coresUnderQuota(const std::vector<CgroupFolder>& cpuFolders) {
    std::optional<int> least;
    for (const CgroupFolder& folder : cpuFolders) {
        double quota = 0, period = 0;
        if (folder.unified) {
            // "max 100000" when unlimited, else "quota period" in microseconds.
            std::istringstream max(readSmallFile(folder.path / "cpu.max"));
            if (!(max >> quota >> period)) continue;
        } else {
            // -1 when unlimited.
            std::istringstream quotaText(readSmallFile(folder.path / "cpu.cfs_quota_us"));
            std::istringstream periodText(readSmallFile(folder.path / "cpu.cfs_period_us"));
            if (!(quotaText >> quota) || !(periodText >> period)) continue;
        }
        if (!(quota > 0) || !(period > 0)) continue;
        const int cores = std::max(1, static_cast<int>(std::ceil(quota / period)));
        least = least ? std::min(*least, cores) : cores;
    }
    return least;
}

namespace {

// The value in kB of a "Key:   123 kB" line, in bytes.
std::optional<std::uint64_t> kilobyteField(const std::string& text, const std::string& wanted) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key, unit;
        std::uint64_t kilobytes = 0;
        if (fields >> key >> kilobytes >> unit && key == wanted && unit == "kB") {
            return kilobytes * 1024;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> parseMemAvailable(const std::string& meminfo) {
    return kilobyteField(meminfo, "MemAvailable:");
}

std::vector<CgroupMemoryFiles> cgroupMemoryFiles(const std::string& procSelfCgroup) {
    std::vector<CgroupMemoryFiles> files;
    for (const CgroupFolder& folder : cgroupFolders(procSelfCgroup, "memory")) {
        if (folder.unified) {
            files.push_back({folder.path / "memory.max", folder.path / "memory.current"});
        } else {
            files.push_back(
                {folder.path / "memory.limit_in_bytes", folder.path / "memory.usage_in_bytes"});
        }
    }
    return files;
}

std::optional<std::uint64_t> cgroupMemoryLeft(const std::vector<CgroupMemoryFiles>& files) {
    // cgroup v1 writes "no limit" as a number near 2^63.
    constexpr std::uint64_t NO_LIMIT = std::uint64_t{1} << 62;
    std::optional<std::uint64_t> least;
    for (const CgroupMemoryFiles& file : files) {
        std::ifstream limitFile(file.limit);
        std::ifstream usageFile(file.usage);
        std::uint64_t limit = 0;
        std::uint64_t usage = 0;
        if (!(limitFile >> limit) || !(usageFile >> usage) || limit >= NO_LIMIT) continue;
        const std::uint64_t left = limit > usage ? limit - usage : 0;
        least = least ? std::min(*least, left) : left;
    }
    return least;
}

std::optional<std::uint64_t> addressSpaceLeft(std::optional<std::uint64_t> limit,
                                              const std::string& procSelfStatus) {
    if (!limit) return std::nullopt;
    const std::uint64_t used = kilobyteField(procSelfStatus, "VmSize:").value_or(0);
    return *limit > used ? *limit - used : 0;
}

std::optional<std::uint64_t> addressSpaceLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

MemoryRoom probeMemoryRoom() {
    MemoryRoom room;
    room.available = parseMemAvailable(readSmallFile("/proc/meminfo"));
    room.groupLeft = cgroupMemoryLeft(cgroupMemoryFiles(readSmallFile("/proc/self/cgroup")));
    const std::string status = readSmallFile("/proc/self/status");
    room.processLeft = addressSpaceLeft(addressSpaceLimit(), status);
    room.held = kilobyteField(status, "RssAnon:");
    return room;
}

LimitName groupLimitName() {
    return {"limite mémoire du groupe de contrôle (cgroup, tâche de grappe)",
            "memory limit of the cgroup (cluster job)"};
}

LimitName processLimitName() {
    return {"limite d'espace d'adressage (ulimit -v)", "address-space limit (ulimit -v)"};
}

}  // namespace plantscan::resources
