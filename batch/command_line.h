// The command line of section_batch and its help text.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct BatchOptions {
    bool help = false;
    bool version = false;
    bool merge = false;  // rebuild the table of `outFolder` from its subfolders only
    bool force = false;
    std::string scansFolder;
    std::string outFolder = "resultats";
    std::optional<int> jobs;
    std::optional<long> shard;  // measure the positions equal to shard modulo shardCount
    long shardCount = 1;
};

struct ParsedCommandLine {
    std::optional<BatchOptions> options;
    std::string error;  // why there are no options, in French
};

// `arguments` without the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string helpText();

// "section_batch 1.0.0 (OpenCV 4.6.0)" and a line break.
std::string versionText();
