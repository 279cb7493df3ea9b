#include "batch/run_record.h"

#include "batch/atomic_file.h"
#include "batch/processes.h"
#include "batch/utc_time.h"
#include "plant_scan_tools/version.h"
#include "platform/machine.h"
#include "resources/resources.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <system_error>
#include <tuple>

namespace fs = std::filesystem;

namespace {

const char* const KEYS[] = {"version",  "opencv",   "debut",   "fin",     "machine",
                            "commande", "mode",     "jobs",    "morceau", "force",
                            "images",   "mesurees", "sautees", "echecs"};
constexpr std::size_t KEY_COUNT = sizeof(KEYS) / sizeof(KEYS[0]);
// Added later: after the first keys, so that every older line keeps its place.
constexpr const char* OTHER_RESOLUTION_KEY = "autre_resolution";

auto fields(const RunRecord& r) {
    return std::tie(r.version, r.opencv, r.start, r.end, r.host, r.command, r.mode, r.jobs, r.shard,
                    r.shardCount, r.force, r.images, r.measured, r.skipped, r.failed,
                    r.otherResolution);
}

// A line break inside a value would cut the record; nothing we write holds one.
std::string oneLine(std::string value) {
    std::replace(value.begin(), value.end(), '\r', ' ');
    std::replace(value.begin(), value.end(), '\n', ' ');
    return value;
}

std::optional<long> parseCount(const std::string& text, long minimum) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < minimum) return std::nullopt;
    return value;
}

bool parseShard(const std::string& text, RunRecord& record) {
    if (text == "aucun") return true;
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    const std::optional<long> shard = parseCount(text.substr(0, slash), 0);
    const std::optional<long> count = parseCount(text.substr(slash + 1), 1);
    if (!shard || !count) return false;
    record.shard = shard;
    record.shardCount = *count;
    return true;
}

bool parseYesNo(const std::string& text, bool& value) {
    if (text != "oui" && text != "non") return false;
    value = text == "oui";
    return true;
}

bool parseInt(const std::string& text, int& value) {
    const std::optional<long> count = parseCount(text, 0);
    if (count) value = static_cast<int>(*count);
    return count.has_value();
}

// The values in KEYS order, as parseRunRecord reads them back.
bool setField(RunRecord& r, std::size_t key, const std::string& value) {
    switch (key) {
        case 0: r.version = value; return true;
        case 1: r.opencv = value; return true;
        case 2: r.start = value; return parseUtcTime(value).has_value();
        case 3: r.end = value; return parseUtcTime(value).has_value();
        case 4: r.host = value; return true;
        case 5: r.command = value; return true;
        case 6:
            r.mode = value == "fusion" ? RunMode::MERGE : RunMode::MEASURE;
            return value == "fusion" || value == "mesure";
        case 7:
            if (value.empty()) return true;
            r.jobs = static_cast<int>(parseCount(value, 1).value_or(0));
            return *r.jobs > 0;
        case 8: return parseShard(value, r);
        case 9: return parseYesNo(value, r.force);
        case 10: return parseInt(value, r.images);
        case 11: return parseInt(value, r.measured);
        case 12: return parseInt(value, r.skipped);
        default: return parseInt(value, r.failed);
    }
}

bool isSafeInShell(unsigned char c) {
    return std::isalnum(c) != 0 || c >= 0x80 ||
           std::string("_./:=@%+,-").find(c) != std::string::npos;
}

std::string quoteForShell(const std::string& argument) {
    if (!argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
            return isSafeInShell(static_cast<unsigned char>(c));
        })) {
        return argument;
    }
    const bool control = std::any_of(argument.begin(), argument.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (!control) {
        std::string quoted = "'";
        for (const char c : argument)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }
    // Bash's $'...' keeps line breaks out of the record's single line.
    std::string quoted = "$'";
    for (const char c : argument) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c == '\\' || c == '\'') {
            quoted += std::string("\\") + c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace

bool RunRecord::operator==(const RunRecord& other) const { return fields(*this) == fields(other); }

std::string formatRunRecord(const RunRecord& r) {
    const std::string shard =
        r.shard ? std::to_string(*r.shard) + "/" + std::to_string(r.shardCount) : "aucun";
    const std::string values[KEY_COUNT] = {r.version,
                                           r.opencv,
                                           r.start,
                                           r.end,
                                           r.host,
                                           r.command,
                                           r.mode == RunMode::MERGE ? "fusion" : "mesure",
                                           r.jobs ? std::to_string(*r.jobs) : "",
                                           shard,
                                           r.force ? "oui" : "non",
                                           std::to_string(r.images),
                                           std::to_string(r.measured),
                                           std::to_string(r.skipped),
                                           std::to_string(r.failed)};
    std::string text;
    for (std::size_t k = 0; k < KEY_COUNT; ++k) {
        text += std::string(KEYS[k]) + ": " + oneLine(values[k]) + "\r\n";
    }
    if (r.otherResolution) {
        text +=
            std::string(OTHER_RESOLUTION_KEY) + ": " + std::to_string(*r.otherResolution) + "\r\n";
    }
    return text;
}

std::optional<RunRecord> parseRunRecord(const std::string& text) {
    RunRecord record;
    std::size_t start = 0;
    // The value of the line at `start` if it holds `key`, moving past it.
    const auto value = [&text, &start](const char* key) -> std::optional<std::string> {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) return std::nullopt;
        const std::string line = text.substr(start, end - start);
        const std::string prefix = std::string(key) + ": ";
        if (line.compare(0, prefix.size(), prefix) != 0 || line.find('\n') != std::string::npos)
            return std::nullopt;
        start = end + 2;
        return line.substr(prefix.size());
    };
    for (std::size_t k = 0; k < KEY_COUNT; ++k) {
        const std::optional<std::string> found = value(KEYS[k]);
        if (!found || !setField(record, k, *found)) return std::nullopt;
    }
    if (start < text.size()) {
        const std::optional<std::string> found = value(OTHER_RESOLUTION_KEY);
        int count = 0;
        if (!found || !parseInt(*found, count)) return std::nullopt;
        record.otherResolution = count;
    }
    if (start != text.size()) return std::nullopt;
    return record;
}

std::string runRecordFileName(const RunRecord& record, long pid) {
    std::string stamp = record.start;
    stamp.erase(
        std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':'; }),
        stamp.end());
    std::string host = record.host;
    for (char& c : host) {
        const bool kept =
            std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-';
        if (!kept || static_cast<unsigned char>(c) >= 0x80) c = '_';
    }
    return stamp + "_" + host + "_" + std::to_string(pid) + ".txt";
}

bool writeRunRecord(const fs::path& outFolder, const RunRecord& record) {
    const fs::path folder = outFolder / RUN_RECORD_FOLDER;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return false;
    return writeFileAtomically(folder / runRecordFileName(record, processId()),
                               formatRunRecord(record));
}

std::vector<RunRecord> readRunRecords(const fs::path& outFolder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(outFolder / RUN_RECORD_FOLDER, error)) {
        if (entry.is_regular_file(error) && entry.path().extension() == ".txt") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<RunRecord> records;
    for (const fs::path& file : files) {
        if (std::optional<RunRecord> record = parseRunRecord(readSmallFile(file))) {
            records.push_back(std::move(*record));
        }
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const RunRecord& a, const RunRecord& b) { return a.start < b.start; });
    return records;
}

RunRecord startRunRecord(const BatchOptions& options, const std::string& command) {
    RunRecord record;
    record.version = PLANT_SCAN_TOOLS_VERSION;
    record.opencv = opencvVersion();
    record.start = utcTime(std::time(nullptr));
    record.host = hostName();
    record.command = command;
    record.mode = options.merge ? RunMode::MERGE : RunMode::MEASURE;
    // Those a measuring run would take; lowered for memory once its scans are known.
    if (!options.merge) record.jobs = options.jobs.value_or(availableCores());
    record.shard = options.shard;
    record.shardCount = options.shardCount;
    record.force = options.force;
    return record;
}

std::string opencvVersion() { return cv::getVersionString(); }

std::string commandLineText(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += (text.empty() ? "" : " ") + quoteForShell(argument);
    }
    return text;
}
