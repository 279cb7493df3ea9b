// How many scans run at once, and running them: start, wait, record, report progress.
#pragma once

#include "section_batch/results.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct PendingScan {
    std::string name;
    std::filesystem::path path;  // absolute
    ScanFingerprint fingerprint;
};

// Peak memory of one measurement: grabCut's models and masks take about this much per pixel.
inline constexpr std::uint64_t BYTES_PER_PIXEL = 220;

// At most `wanted`, no more than `available` holds at `bytesPerJob` each, and at least one.
int jobsThatFit(int wanted, std::uint64_t bytesPerJob, std::uint64_t available);

// Pixels of the largest scan, from the headers (decoding only a scan whose header is not
// understood); 0 when no size is known.
std::uint64_t largestPixelCount(const std::vector<PendingScan>& scans);

// As many as asked (or cores), lowered, and said so, when memory holds fewer.
int chooseJobs(std::optional<int> requested, const std::vector<PendingScan>& scans);

// Measures every scan with `program`, `jobs` at a time, each in outFolder/<name>/, and records
// each one's status there once it ends.
void runScans(const std::filesystem::path& program, const std::filesystem::path& outFolder,
              const std::vector<PendingScan>& scans, int jobs);

// "section_batch : message" on standard error.
void printError(const std::string& message);
