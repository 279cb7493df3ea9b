#include "batch/run_record.h"

#include "batch/processes.h"
#include "plant_scan_tools/version.h"
#include "platform/machine.h"
#include "resources/resources.h"
#include "stored/atomic_file.h"
#include "stored/utc_time.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <system_error>

namespace plantscan::batch {

namespace fs = std::filesystem;

namespace {

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

bool parseInt(const std::string& text, int& value) {
    const std::optional<long> count = parseCount(text, 0);
    if (count) value = static_cast<int>(*count);
    return count.has_value();
}

bool parseTime(const std::string& text, std::string& value) {
    value = text;
    return stored::parseUtcTime(text).has_value();
}

// One line of the record: its key, how its value is written (nothing: the line is left out)
// and read back, and whether a record may lack it (written before the key was added).
struct RecordField {
    const char* key;
    std::optional<std::string> (*write)(const RunRecord&);
    bool (*read)(const std::string& value, RunRecord&);
    bool mayBeAbsent;
    // A count names its field instead, written and read as a whole number.
    int RunRecord::*count = nullptr;

    std::optional<std::string> written(const RunRecord& record) const {
        if (count != nullptr) return std::to_string(record.*count);
        return write(record);
    }
    bool readInto(const std::string& value, RunRecord& record) const {
        return count != nullptr ? parseInt(value, record.*count) : read(value, record);
    }
};

// In the order written; the keys added since the first version come last, so that every older
// line keeps its place.
const RecordField FIELDS[] = {
    {"version", [](const RunRecord& r) -> std::optional<std::string> { return r.version; },
     [](const std::string& v, RunRecord& r) { return r.version = v, true; }, false},
    {"opencv", [](const RunRecord& r) -> std::optional<std::string> { return r.opencv; },
     [](const std::string& v, RunRecord& r) { return r.opencv = v, true; }, false},
    {"debut", [](const RunRecord& r) -> std::optional<std::string> { return r.start; },
     [](const std::string& v, RunRecord& r) { return parseTime(v, r.start); }, false},
    {"fin", [](const RunRecord& r) -> std::optional<std::string> { return r.end; },
     [](const std::string& v, RunRecord& r) { return parseTime(v, r.end); }, false},
    {"machine", [](const RunRecord& r) -> std::optional<std::string> { return r.host; },
     [](const std::string& v, RunRecord& r) { return r.host = v, true; }, false},
    {"commande", [](const RunRecord& r) -> std::optional<std::string> { return r.command; },
     [](const std::string& v, RunRecord& r) { return r.command = v, true; }, false},
    {"mode",
     [](const RunRecord& r) -> std::optional<std::string> {
         return r.mode == RunMode::MERGE ? "fusion" : "mesure";
     },
     [](const std::string& v, RunRecord& r) {
         r.mode = v == "fusion" ? RunMode::MERGE : RunMode::MEASURE;
         return v == "fusion" || v == "mesure";
     },
     false},
    {"jobs",
     [](const RunRecord& r) -> std::optional<std::string> {
         return r.jobs ? std::to_string(*r.jobs) : "";
     },
     [](const std::string& v, RunRecord& r) {
         if (v.empty()) return true;
         const std::optional<long> jobs = parseCount(v, 1);
         if (jobs) r.jobs = static_cast<int>(*jobs);
         return jobs.has_value();
     },
     false},
    {"morceau",
     [](const RunRecord& r) -> std::optional<std::string> {
         return r.shard ? std::to_string(*r.shard) + "/" + std::to_string(r.shardCount) : "aucun";
     },
     [](const std::string& v, RunRecord& r) {
         if (v == "aucun") return true;
         const std::size_t slash = v.find('/');
         if (slash == std::string::npos) return false;
         const std::optional<long> shard = parseCount(v.substr(0, slash), 0);
         const std::optional<long> count = parseCount(v.substr(slash + 1), 1);
         if (!shard || !count) return false;
         r.shard = shard;
         r.shardCount = *count;
         return true;
     },
     false},
    {"force",
     [](const RunRecord& r) -> std::optional<std::string> { return r.force ? "oui" : "non"; },
     [](const std::string& v, RunRecord& r) {
         r.force = v == "oui";
         return v == "oui" || v == "non";
     },
     false},
    {"images", nullptr, nullptr, false, &RunRecord::images},
    {"mesurees", nullptr, nullptr, false, &RunRecord::measured},
    {"sautees", nullptr, nullptr, false, &RunRecord::skipped},
    {"echecs", nullptr, nullptr, false, &RunRecord::failed},
    {"autre_resolution",
     [](const RunRecord& r) -> std::optional<std::string> {
         if (!r.otherResolution) return std::nullopt;
         return std::to_string(*r.otherResolution);
     },
     [](const std::string& v, RunRecord& r) {
         int count = 0;
         if (!parseInt(v, count)) return false;
         r.otherResolution = count;
         return true;
     },
     true},
};

}  // namespace

bool RunRecord::operator==(const RunRecord& other) const {
    // The same record: every field written alike.
    for (const RecordField& field : FIELDS) {
        if (field.written(*this) != field.written(other)) return false;
    }
    return shardCount == other.shardCount;
}

std::string formatRunRecord(const RunRecord& record) {
    std::string text;
    for (const RecordField& field : FIELDS) {
        if (const std::optional<std::string> value = field.written(record))
            text += std::string(field.key) + ": " + oneLine(*value) + "\r\n";
    }
    return text;
}

std::optional<RunRecord> parseRunRecord(const std::string& text) {
    RunRecord record;
    std::vector<bool> seen(std::size(FIELDS), false);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) return std::nullopt;  // the last line cut short
        const std::string line = text.substr(start, end - start);
        start = end + 2;
        const std::size_t colon = line.find(": ");
        if (colon == std::string::npos || line.find('\n') != std::string::npos) return std::nullopt;
        const std::string key = line.substr(0, colon);
        const auto field = std::find_if(std::begin(FIELDS), std::end(FIELDS),
                                        [&key](const RecordField& f) { return key == f.key; });
        // A key of a newer version: passed over, never read as another.
        if (field == std::end(FIELDS)) continue;
        const std::size_t index = static_cast<std::size_t>(field - std::begin(FIELDS));
        if (seen[index] || !field->readInto(line.substr(colon + 2), record)) return std::nullopt;
        seen[index] = true;
    }
    for (std::size_t k = 0; k < seen.size(); ++k) {
        if (!seen[k] && !FIELDS[k].mayBeAbsent) return std::nullopt;
    }
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
    return stored::writeFileAtomically(folder / runRecordFileName(record, platform::processId()),
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
        if (std::optional<RunRecord> record = parseRunRecord(resources::readSmallFile(file))) {
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
    record.start = stored::utcTime(std::time(nullptr));
    record.host = platform::hostName();
    record.command = command;
    record.mode = options.merge ? RunMode::MERGE : RunMode::MEASURE;
    // Those a measuring run would take; lowered for memory once its scans are known.
    if (!options.merge) record.jobs = options.jobs.value_or(resources::availableCores());
    record.shard = options.shard;
    record.shardCount = options.shardCount;
    record.force = options.force;
    return record;
}

std::string opencvVersion() { return cv::getVersionString(); }

}  // namespace plantscan::batch
