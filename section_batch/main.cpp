// section_batch SCANS [OUT]: measures every scan of a folder with section_measure, several at
// once, and gathers their values into OUT/toutes_mesures.csv (see helpText for the details).
#include "batch/atomic_file.h"
#include "batch/command_line.h"
#include "batch/french_text.h"
#include "batch/processes.h"
#include "batch/results_page.h"
#include "batch/run_record.h"
#include "batch/scan_folder.h"
#include "batch/scans.h"
#include "batch/scheduler.h"
#include "batch/table.h"
#include "batch/thumbnail.h"
#include "batch/utc_time.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

enum ExitStatus { ALL_MEASURED = 0, SOME_FAILED = 1, BAD_COMMAND_LINE = 2 };

// Each scan's folder, read once for the table, the page and the thumbnails.
std::vector<ScanResult> readResults(const fs::path& outFolder,
                                    const std::vector<std::string>& names,
                                    const FolderLayout& layout) {
    std::vector<ScanResult> results;
    for (const std::string& name : names)
        results.push_back(readScanFolder(outFolder / name, name, layout));
    return results;
}

bool writeTable(const fs::path& outFolder, const std::vector<ScanResult>& results) {
    std::string table = tableHeader();
    for (const ScanResult& result : results) table += tableRow(result);
    if (writeFileAtomically(outFolder / TABLE_FILE, table)) return true;
    printError("impossible d'écrire « " + (outFolder / TABLE_FILE).string() + " »");
    return false;
}

bool writePage(const fs::path& outFolder, const std::vector<ScanResult>& results,
               const FolderLayout& layout) {
    std::vector<RunTimes> runs;
    for (const RunRecord& record : readRunRecords(outFolder))
        runs.push_back({record.start, record.end});
    if (writeResultsPage(outFolder, withThumbnails(outFolder, results, layout), layout, runs))
        return true;
    printError("impossible d'écrire « " + (outFolder / RESULTS_PAGE_FILE).string() + " »");
    return false;
}

int countOtherResolutions(const std::vector<ScanResult>& results, const FolderLayout& layout) {
    return static_cast<int>(std::count_if(results.begin(), results.end(), [&](const ScanResult& r) {
        return statesOtherResolution(r, layout);
    }));
}

// A line for each scan stated at another resolution, then the summary line; ALL_MEASURED only
// when every scan holds a complete result.
ExitStatus summarize(const std::vector<ScanResult>& results, const FolderLayout& layout,
                     int skipped, const std::string& tableNote) {
    for (const ScanResult& result : results) {
        if (!statesOtherResolution(result, layout)) continue;
        std::cout << "section_batch : « " << result.scanName
                  << " » : " << resolutionWords(*result.statedResolution, layout.scanDpi)
                  << std::endl;
    }
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

// Written last, so that an interrupted run leaves no record.
bool saveRunRecord(const fs::path& outFolder, RunRecord record) {
    record.end = utcTime(std::time(nullptr));
    if (writeRunRecord(outFolder, record)) return true;
    printError("impossible d'écrire le compte rendu du lancement dans « " +
               (outFolder / RUN_RECORD_FOLDER).string() + " »");
    return false;
}

// The table, this run's record, then the page, which shows every run recorded.
int finishWithTableAndPage(const fs::path& outFolder, const std::vector<ScanResult>& results,
                           const FolderLayout& layout, int skipped, const RunRecord& record) {
    const bool tableWritten = writeTable(outFolder, results);
    const bool recorded = saveRunRecord(outFolder, record);
    const bool pageWritten = writePage(outFolder, results, layout);
    const ExitStatus status =
        summarize(results, layout, skipped,
                  " ; tableau : " + (outFolder / TABLE_FILE).string() +
                      " ; page : " + (outFolder / RESULTS_PAGE_FILE).string());
    return tableWritten && recorded && pageWritten ? status : SOME_FAILED;
}

int runBatch(const BatchOptions& options, const FolderLayout& layout, RunRecord record) {
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
    record.images = static_cast<int>(names.size());
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
        if (options.force || !holdsCompleteResult(outFolder / name, fingerprint, layout)) {
            pending.push_back({name, path, fingerprint});
        } else if (!fs::exists(outFolder / name / RESOLUTION_FILE, error)) {
            // Measured by a version that kept no resolution: the unchanged scan still tells it.
            keepStatedResolution(outFolder / name, path);
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
        holdStopSignals();
        const JobPlan plan = chooseJobs(options.jobs, pending);
        record.jobs = plan.jobs;
        const int stopSignal = runScans(*program, outFolder, layout, pending, plan);
        if (stopSignal != 0) {
            printError("arrêté par le signal " + std::to_string(stopSignal) +
                       " ; les mesures en cours ont été arrêtées, relancez la même commande pour "
                       "reprendre");
            return 128 + stopSignal;
        }
    }

    const std::vector<ScanResult> results = readResults(outFolder, names, layout);
    // What this run measured, as its scans' folders now hold it.
    record.skipped = skipped;
    record.otherResolution = countOtherResolutions(results, layout);
    std::set<std::string> measuredNow;
    for (const PendingScan& scan : pending) measuredNow.insert(scan.name);
    for (const ScanResult& result : results) {
        if (measuredNow.count(result.scanName) != 0) {
            ++(result.measured() ? record.measured : record.failed);
        }
    }
    if (options.shard) {
        const ExitStatus status =
            summarize(results, layout, skipped,
                      " ; tableau : lancez « section_batch --merge " + options.outFolder +
                          " » une fois tous les morceaux terminés");
        return saveRunRecord(outFolder, record) ? status : SOME_FAILED;
    }
    return finishWithTableAndPage(outFolder, results, layout, skipped, record);
}

int runMerge(const BatchOptions& options, const FolderLayout& layout, RunRecord record) {
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
    sortNaturally(names);
    if (names.empty()) printError("aucun dossier de scan dans « " + options.outFolder + " »");

    record.images = static_cast<int>(names.size());
    const std::vector<ScanResult> results = readResults(outFolder, names, layout);
    record.otherResolution = countOtherResolutions(results, layout);
    return finishWithTableAndPage(outFolder, results, layout, 0, record);
}

// `words`: the program's name, then its arguments.
int run(const std::vector<std::string>& words) {
    const ParsedCommandLine commandLine =
        parseCommandLine(std::vector<std::string>(words.begin() + 1, words.end()));
    if (!commandLine.options) {
        printError(commandLine.error + " (section_batch --help pour l'aide)");
        return BAD_COMMAND_LINE;
    }
    const BatchOptions& options = *commandLine.options;
    if (options.help) {
        std::cout << helpText();
        return ALL_MEASURED;
    }
    if (options.version) {
        std::cout << versionText();
        return ALL_MEASURED;
    }
    const RunRecord record = startRunRecord(options, commandLineText(words));
    const FolderLayout layout = sectionMeasureLayout();
    return options.merge ? runMerge(options, layout, record) : runBatch(options, layout, record);
}

}  // namespace

int main(int argc, char** argv) {
    // Whatever goes wrong ends the batch with a status and a message, never with an abort.
    try {
        return run(std::vector<std::string>(argv, argv + argc));
    } catch (const std::exception& failure) {
        printError(std::string("erreur inattendue : ") + failure.what());
    } catch (...) {
        printError("erreur inattendue");
    }
    return SOME_FAILED;
}
