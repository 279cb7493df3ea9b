// section_batch SCANS [OUT]: measures every scan of a folder with section_measure, several at
// once, and gathers their values into OUT/toutes_mesures.csv (see helpText for the details).
#include "section_batch/command_line.h"
#include "section_batch/processes.h"
#include "section_batch/progress.h"
#include "section_batch/results.h"
#include "section_batch/scans.h"

#include <opencv2/imgcodecs.hpp>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum ExitStatus { ALL_MEASURED = 0, SOME_FAILED = 1, BAD_COMMAND_LINE = 2 };

void printError(const std::string& message) {
    std::cerr << "section_batch : " << message << std::endl;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct PendingScan {
    std::string name;
    fs::path path;  // absolute
    ScanFingerprint fingerprint;
};

struct RunningScan {
    pid_t pid;
    PendingScan scan;
    Clock::time_point start;
};

std::uint64_t largestPixelCount(const std::vector<PendingScan>& scans) {
    std::uint64_t largest = 0;
    for (const PendingScan& scan : scans) {
        std::optional<cv::Size> size = readImageSizeFromHeader(scan.path);
        if (!size) {
            const cv::Mat decoded = cv::imread(scan.path.string(), cv::IMREAD_GRAYSCALE);
            if (!decoded.empty()) size = decoded.size();
        }
        if (size) largest = std::max(largest, static_cast<std::uint64_t>(size->area()));
    }
    return largest;
}

// As many as asked (or cores), lowered, and said so, when memory holds fewer.
int chooseJobs(std::optional<int> requested, const std::vector<PendingScan>& scans) {
    const int wanted = requested.value_or(availableCores());
    std::optional<std::uint64_t> available = parseMemAvailable(readFile("/proc/meminfo"));
    const std::optional<std::uint64_t> cgroupLeft =
        cgroupMemoryLeft(cgroupMemoryFiles(readFile("/proc/self/cgroup")));
    if (cgroupLeft) available = available ? std::min(*available, *cgroupLeft) : *cgroupLeft;
    if (!available || scans.empty()) return wanted;
    const std::uint64_t bytesPerJob = BYTES_PER_PIXEL * largestPixelCount(scans);
    const int jobs = jobsThatFit(wanted, bytesPerJob, *available);
    if (jobs < wanted) {
        constexpr std::uint64_t megabyte = 1024 * 1024;
        std::cerr << "section_batch : " << jobs << " mesure(s) à la fois au lieu de " << wanted
                  << " : la plus grande image demande environ " << bytesPerJob / megabyte
                  << " Mo et " << *available / megabyte << " Mo sont disponibles" << std::endl;
    }
    return jobs;
}

// Leaves no status or report of an earlier run that a failure now could be mistaken for.
bool prepareFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        printError("impossible de créer le dossier « " + folder.string() +
                   " » : " + error.message());
        return false;
    }
    fs::remove(folder / STATUS_FILE, error);
    fs::remove(folder / REPORT_FILE, error);
    return true;
}

std::string runningNames(const std::vector<RunningScan>& running) {
    std::string names;
    for (const RunningScan& scan : running) names += (names.empty() ? "" : ", ") + scan.scan.name;
    return names;
}

void runScans(const fs::path& program, const fs::path& outFolder,
              const std::vector<PendingScan>& scans, int jobs) {
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    const Clock::time_point batchStart = Clock::now();
    const int total = static_cast<int>(scans.size());
    std::vector<RunningScan> running;
    std::size_t next = 0;
    int done = 0;

    const auto report = [&](const std::string& line, bool alwaysShown) {
        if (terminal && alwaysShown) std::cerr << "\r\x1b[K" << line << "\n";
        if (!terminal) std::cerr << line << "\n";
        if (terminal && done < total) {
            std::cerr << "\r\x1b[K"
                      << progressLine(done, total, runningNames(running), secondsSince(batchStart));
        }
        std::cerr << std::flush;
    };

    while (next < scans.size() || !running.empty()) {
        while (static_cast<int>(running.size()) < jobs && next < scans.size()) {
            const PendingScan& scan = scans[next++];
            const fs::path folder = outFolder / scan.name;
            if (!prepareFolder(folder)) {
                ++done;
                continue;
            }
            const pid_t pid = startMeasurement(program, scan.path, folder);
            if (pid < 0) {
                printError("impossible de lancer section_measure pour « " + scan.name + " »");
                ++done;
                continue;
            }
            running.push_back({pid, scan, Clock::now()});
        }
        if (terminal) report("", false);

        const std::optional<FinishedChild> child = waitForChild(terminal ? 1000 : -1);
        if (!child) continue;
        if (child->pid == 0) {
            // Children reaped behind our back: their scans keep no status, so they count as failed.
            printError(std::to_string(running.size()) +
                       " mesure(s) perdue(s) : " + runningNames(running));
            running.clear();
            continue;
        }
        const auto it = std::find_if(running.begin(), running.end(),
                                     [&](const RunningScan& r) { return r.pid == child->pid; });
        if (it == running.end()) continue;
        const RunningScan finished = *it;
        running.erase(it);
        ++done;

        const fs::path folder = outFolder / finished.scan.name;
        if (!writeStatus(folder, {child->exitStatus, finished.scan.fingerprint})) {
            printError("impossible d'écrire « " + (folder / STATUS_FILE).string() + " »");
        }
        const bool measured = readScanResult(folder, finished.scan.name).measured();
        std::string line = finishedLine(done, total, finished.scan.name, child->exitStatus,
                                        measured, secondsSince(finished.start));
        if (!measured) line += ", voir « " + (folder / "erreurs.txt").string() + " »";
        report(line, !measured);
    }
    if (terminal) std::cerr << "\r\x1b[K" << std::flush;
}

std::vector<ScanResult> readResults(const fs::path& outFolder,
                                    const std::vector<std::string>& names) {
    std::vector<ScanResult> results;
    for (const std::string& name : names) results.push_back(readScanResult(outFolder / name, name));
    return results;
}

bool writeTable(const fs::path& outFolder, const std::vector<ScanResult>& results) {
    std::string table = tableHeader();
    for (const ScanResult& result : results) table += tableRow(result);
    if (writeFileAtomically(outFolder / TABLE_FILE, table)) return true;
    printError("impossible d'écrire « " + (outFolder / TABLE_FILE).string() + " »");
    return false;
}

// The summary line; ALL_MEASURED only when every scan holds a complete result.
ExitStatus summarize(const std::vector<ScanResult>& results, int skipped,
                     const std::string& tableNote) {
    std::string failed;
    int failures = 0;
    for (const ScanResult& result : results) {
        if (result.measured()) continue;
        ++failures;
        failed += (failed.empty() ? "" : ", ") + result.scanName + " (";
        failed +=
            result.exitStatus ? "statut " + std::to_string(*result.exitStatus) : "pas de statut";
        failed += ")";
    }
    const std::string count = std::to_string(results.size());
    if (failures == 0) {
        std::cout << "section_batch : " << count << " image(s) mesurée(s)";
        if (skipped > 0) std::cout << " dont " << skipped << " déjà faite(s) avant";
    } else {
        std::cout << "section_batch : " << failures << " image(s) sur " << count
                  << " en échec : " << failed;
    }
    std::cout << tableNote << std::endl;
    return failures == 0 ? ALL_MEASURED : SOME_FAILED;
}

int runBatch(const BatchOptions& options) {
    // An ignored SIGCHLD, inherited from whoever started us, would make the children's
    // statuses vanish.
    std::signal(SIGCHLD, SIG_DFL);
    std::error_code error;
    if (!fs::is_directory(options.scansFolder, error)) {
        printError("« " + options.scansFolder + " » n'est pas un dossier");
        return BAD_COMMAND_LINE;
    }
    std::vector<std::string> names;
    try {
        names = listScans(options.scansFolder);
    } catch (const fs::filesystem_error& failure) {
        printError("impossible de lire le dossier « " + options.scansFolder +
                   " » : " + failure.code().message());
        return BAD_COMMAND_LINE;
    }
    if (names.empty()) printError("aucune image dans « " + options.scansFolder + " »");
    if (options.shard) names = selectShard(names, *options.shard, options.shardCount);

    const fs::path outFolder = options.outFolder;
    fs::create_directories(outFolder, error);
    if (error) {
        printError("impossible de créer le dossier « " + options.outFolder +
                   " » : " + error.message());
        return SOME_FAILED;
    }

    std::vector<PendingScan> pending;
    for (const std::string& name : names) {
        const fs::path path = fs::absolute(fs::path(options.scansFolder) / name);
        const ScanFingerprint fingerprint = fingerprintScan(path).value_or(ScanFingerprint{});
        if (options.force || !holdsCompleteResult(outFolder / name, fingerprint)) {
            pending.push_back({name, path, fingerprint});
        }
    }
    const int skipped = static_cast<int>(names.size() - pending.size());
    if (skipped > 0) {
        std::cerr << "section_batch : " << skipped
                  << " image(s) déjà mesurée(s), reprises telles quelles" << std::endl;
    }

    if (!pending.empty()) {
        const char* path = std::getenv("PATH");
        const std::optional<fs::path> program = findMeasureProgram(ownFolder(), path ? path : "");
        if (!program) {
            printError("section_measure introuvable, ni à côté de section_batch ni dans le PATH");
            return SOME_FAILED;
        }
        runScans(*program, outFolder, pending, chooseJobs(options.jobs, pending));
    }

    const std::vector<ScanResult> results = readResults(outFolder, names);
    if (options.shard) {
        return summarize(results, skipped,
                         " ; tableau : lancez « section_batch --merge " + options.outFolder +
                             " » une fois tous les morceaux terminés");
    }
    const bool written = writeTable(outFolder, results);
    const ExitStatus status =
        summarize(results, skipped, " ; tableau : " + (outFolder / TABLE_FILE).string());
    return written ? status : SOME_FAILED;
}

int runMerge(const BatchOptions& options) {
    const fs::path outFolder = options.outFolder;
    std::error_code error;
    if (!fs::is_directory(outFolder, error)) {
        printError("« " + options.outFolder + " » n'est pas un dossier");
        return BAD_COMMAND_LINE;
    }
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(outFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory(error) && isScanName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) printError("aucun dossier de scan dans « " + options.outFolder + " »");

    const std::vector<ScanResult> results = readResults(outFolder, names);
    const bool written = writeTable(outFolder, results);
    const ExitStatus status =
        summarize(results, 0, " ; tableau : " + (outFolder / TABLE_FILE).string());
    return written ? status : SOME_FAILED;
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedCommandLine commandLine =
        parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!commandLine.options) {
        printError(commandLine.error + " (section_batch --help pour l'aide)");
        return BAD_COMMAND_LINE;
    }
    const BatchOptions& options = *commandLine.options;
    if (options.help) {
        std::cout << helpText();
        return ALL_MEASURED;
    }
    return options.merge ? runMerge(options) : runBatch(options);
}
