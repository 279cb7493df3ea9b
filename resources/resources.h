// What the machine lets this process use: cores, and memory under every limit that applies.
// resources_linux.cpp and resources_windows.cpp read them from their system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace plantscan::resources {

// Cores this process may use: those it may run on (the CPU set of a cluster job, an affinity
// mask), no more than its CPU quota allows (a cgroup's on Linux, a job object's CPU rate cap on
// Windows), rounded up.
int availableCores();

// What this process may still take, under each limit; nothing where the limit is unknown.
struct MemoryRoom {
    std::optional<std::uint64_t> available;    // free memory of the machine
    std::optional<std::uint64_t> groupLeft;    // the limit of this process's group, less its usage
    std::optional<std::uint64_t> processLeft;  // this process's own limit, less what it holds
    std::optional<std::uint64_t> held;         // its own memory already in use, counted in both
};
MemoryRoom probeMemoryRoom();

// What sets those limits on this system, in the programs' two languages, for messages.
struct LimitName {
    const char* french;
    const char* english;
};
LimitName groupLimitName();
LimitName processLimitName();

// The tightest of the three; nothing when none is known.
std::optional<std::uint64_t> tightest(const MemoryRoom& room);

// The whole text of a small file; empty when it cannot be read.
std::string readSmallFile(const std::filesystem::path& path);

}  // namespace plantscan::resources
