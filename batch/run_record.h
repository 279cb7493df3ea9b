// The record each run of a batch program (a batch, a shard or a merge) leaves in
// SORTIE/lancements/: which version, library, machine and options made the results.
#pragma once

#include "batch/command_line.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::batch {

inline constexpr const char* RUN_RECORD_FOLDER = "lancements";

enum class RunMode { MEASURE, MERGE };

struct RunRecord {
    std::string version;  // of the batch program
    std::string opencv;
    std::string start;  // UTC, "2026-12-08T06:30:05Z"
    std::string end;
    std::string host;
    std::string command;  // as the shell would take it back
    RunMode mode = RunMode::MEASURE;
    std::optional<int> jobs;    // none for a merge
    std::optional<long> shard;  // measured the positions equal to shard modulo shardCount
    long shardCount = 1;
    bool force = false;
    int images = 0;  // scans in the folder before sharding; subfolders found by a merge
    int measured = 0;
    int skipped = 0;  // already complete
    int failed = 0;   // measured by this run, and failed
    // Scans of this run (of a merge: every subfolder) whose header states another resolution
    // than the one measured at; none in a record written before it was counted.
    std::optional<int> otherResolution;
    bool operator==(const RunRecord& other) const;
};

// "key: value" lines ending in CR LF, in a fixed order; the keys added since the first version
// come last.
std::string formatRunRecord(const RunRecord& record);
// Nothing unless every line is "key: value" CR LF, each key known at most once with a value
// formatRunRecord could write, and every key present that every version writes: a record
// written before a key was added reads without it, and a key a newer version added is passed
// over.
std::optional<RunRecord> parseRunRecord(const std::string& text);

// "<start>_<host>_<pid>.txt", the start as 20261208T063005Z: runs on several machines or
// at once on one never share a name.
std::string runRecordFileName(const RunRecord& record, long pid);

// Into outFolder/lancements/ under runRecordFileName with this process's id, whole or not at all.
bool writeRunRecord(const std::filesystem::path& outFolder, const RunRecord& record);
// Every readable record of outFolder, oldest start first; damaged ones are left out.
std::vector<RunRecord> readRunRecords(const std::filesystem::path& outFolder);

// The fields known when a run starts: versions, start time, host, command and options.
RunRecord startRunRecord(const BatchOptions& options, const std::string& command);

std::string opencvVersion();

}  // namespace plantscan::batch
