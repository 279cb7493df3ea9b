// The command line of a batch program.
#pragma once

#include "scan_input/resolution.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::batch {

struct BatchOptions {
    bool help = false;
    bool version = false;
    bool merge = false;  // rebuild the table of `outFolder` from its subfolders only
    bool force = false;
    std::string scansFolder;
    std::string outFolder;
    std::optional<int> jobs;
    std::optional<long> shard;  // measure the positions equal to shard modulo shardCount
    long shardCount = 1;
    std::optional<input::Dpi> dpi;  // the resolution lengths are measured at, for a batch that asks
};

struct ParsedCommandLine {
    std::optional<BatchOptions> options;
    std::string error;  // why there are no options, in French
};

// `arguments` without the program name; SORTIE is `defaultOutFolder` unless given; --dpi N only
// when the batch `takesDpi`.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments,
                                   const std::string& defaultOutFolder = "resultats",
                                   bool takesDpi = false);

// "section_batch 1.0.0 (OpenCV 4.6.0)" and a line break.
std::string versionText(const std::string& batchName);

}  // namespace plantscan::batch
