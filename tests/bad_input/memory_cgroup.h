// A memory cgroup made for a test, as a cluster job's --mem would set one.
#pragma once

#include "support/run_program.h"

#include <cstdint>
#include <filesystem>
#include <string>

// Made as root and removed at the end; empty() when the machine allows none: no root, or no
// writable memory controller (v2 at the top, or v1 beside ours).
class MemoryCgroup {
public:
    explicit MemoryCgroup(std::uint64_t limit);
    ~MemoryCgroup();
    MemoryCgroup(const MemoryCgroup&) = delete;
    MemoryCgroup& operator=(const MemoryCgroup&) = delete;

    bool empty() const { return folder_.empty(); }
    const std::filesystem::path& folder() const { return folder_; }

private:
    void make(const std::filesystem::path& folder, const std::string& limitFile,
              std::uint64_t limit);
    std::filesystem::path folder_;
};

// The program runs inside the cgroup: a shell enters it, then becomes the program.
test_support::RunResult runInCgroup(const MemoryCgroup& cgroup, const std::string& program,
                                    const std::string& scan,
                                    test_support::RunOptions options = {});
