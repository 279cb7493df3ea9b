// How many scans run at once, and running them: start, wait, record, report progress.
#pragma once

#include "batch/processes.h"
#include "resources/memory_need.h"
#include "stored/scan_folder.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::batch {

struct PendingScan {
    std::string name;
    std::filesystem::path path;  // absolute
    stored::ScanFingerprint fingerprint;
};

// At most `wanted`, no more than `available` holds at `bytesPerJob` each, and at least one.
int jobsThatFit(int wanted, std::uint64_t bytesPerJob, std::uint64_t available);

// Pixels of the largest scan, from the headers (decoding only a scan whose header is not
// understood); 0 when no size is known.
std::uint64_t largestPixelCount(const std::vector<PendingScan>& scans);

// The cores each of `jobs` children may use, so that together they do not oversubscribe.
int threadsPerJob(int cores, int jobs);

struct JobPlan {
    int jobs = 1;
    ChildShare share;  // each child's memory and threads
};

// As many as asked (or cores), lowered, and said so, when memory holds fewer children that each
// `need`; each child's share of the memory the batch may use (MemAvailable and the cgroup
// limits) and of the cores.
JobPlan chooseJobs(const std::string& batchName, std::optional<int> requested,
                   const std::vector<PendingScan>& scans, const resources::MemoryNeed& need);

// The program a batch runs on each scan, and its arguments for a scan (an absolute path).
struct MeasuringChild {
    std::filesystem::path program;
    std::vector<std::string> (*arguments)(const std::filesystem::path& scan, input::Dpi dpi);
    input::Dpi dpi;
};

// Measures every scan with `child`, plan.jobs at a time, as `measurements`, each in
// outFolder/<name>/ cleared of every file of `layout` first, and records each one's status there
// once it ends, beside the thumbnails of its pictures. Returns the signal that stopped the batch
// (its children then ended too, without a status), or 0.
int runScans(Measurements& measurements, const std::string& batchName, const MeasuringChild& child,
             const std::filesystem::path& outFolder, const stored::FolderLayout& layout,
             const std::vector<PendingScan>& scans, const JobPlan& plan);

// "section_batch : message" on standard error.
void printError(const std::string& batchName, const std::string& message);

}  // namespace plantscan::batch
