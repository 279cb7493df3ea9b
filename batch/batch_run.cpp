#include "batch/batch_run.h"

#include "batch/atomic_file.h"
#include "batch/command_line.h"
#include "batch/desktop_start.h"
#include "batch/french_text.h"
#include "batch/processes.h"
#include "batch/run_record.h"
#include "batch/scans.h"
#include "batch/scheduler.h"
#include "batch/thumbnail.h"
#include "batch/utc_time.h"
#include "platform/console.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <set>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The results folder as the batch works on it and names it: in full, wherever it was run.
fs::path fullPath(const std::string& folder) {
    std::error_code error;
    const fs::path given = pathFromUtf8(folder);
    const fs::path full = given.empty() ? given : fs::absolute(given, error);
    return error ? given : full;
}

// A folder in a command the user may type again: quoted when it holds a space.
std::string typedFolder(const fs::path& folder) {
    const std::string text = utf8FromPath(folder);
    return text.find(' ') == std::string::npos ? text : "\"" + text + "\"";
}

// Each scan's folder, read once for the table, the page and the thumbnails.
std::vector<ScanResult> readResults(const fs::path& outFolder,
                                    const std::vector<std::string>& names,
                                    const FolderLayout& layout) {
    std::vector<ScanResult> results;
    for (const std::string& name : names)
        results.push_back(readScanFolder(outFolder / pathFromUtf8(name), name, layout));
    return results;
}

bool writeTable(const BatchKind& kind, const fs::path& outFolder,
                const std::vector<ScanResult>& results, const FolderLayout& layout) {
    if (writeFileAtomically(outFolder / kind.tableFile, kind.table(results, layout))) return true;
    printError(kind.name, "impossible d'écrire « " + utf8FromPath(outFolder / kind.tableFile) + " »");
    return false;
}

bool writePage(const BatchKind& kind, const fs::path& outFolder,
               const std::vector<ScanResult>& results, const FolderLayout& layout) {
    PageContext context{kind.name, kind.tableFile, false, {}};
    std::error_code error;
    context.tablePresent = fs::is_regular_file(outFolder / kind.tableFile, error);
    for (const RunRecord& record : readRunRecords(outFolder))
        context.runs.push_back({record.start, record.end});
    const std::string page = kind.page(withThumbnails(outFolder, results, layout), layout, context);
    if (writeResultsPage(outFolder, page)) return true;
    printError(kind.name,
               "impossible d'écrire « " + utf8FromPath(outFolder / RESULTS_PAGE_FILE) + " »");
    return false;
}

int countOtherResolutions(const std::vector<ScanResult>& results, const FolderLayout& layout) {
    return static_cast<int>(std::count_if(results.begin(), results.end(), [&](const ScanResult& r) {
        return statesOtherResolution(r, layout);
    }));
}

// A line for each scan stated at another resolution, then the summary line; ALL_MEASURED only
// when every scan holds a complete result.
BatchExitStatus summarize(const BatchKind& kind, const std::vector<ScanResult>& results,
                          const FolderLayout& layout, int skipped, const std::string& tableNote) {
    for (const ScanResult& result : results) {
        if (!statesOtherResolution(result, layout)) continue;
        std::cout << kind.name << " : « " << result.scanName << " » : "
                  << resolutionWords(*result.statedResolution,
                                     result.measuredDpi.value_or(layout.scanDpi))
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
        std::cout << kind.name << " : " << count << " image(s) mesurée(s)";
        if (skipped > 0) std::cout << " dont " << skipped << " déjà faite(s) avant";
    } else {
        std::cout << kind.name << " : " << failures << " image(s) sur " << count
                  << " en échec : " << failed;
    }
    std::cout << tableNote << std::endl;
    const std::string note = kind.summaryNote ? kind.summaryNote(results, layout) : "";
    if (!note.empty()) std::cout << kind.name << " : " << note << std::endl;
    return failures == 0 ? ALL_MEASURED : SOME_FAILED;
}

// Written last, so that an interrupted run leaves no record.
bool saveRunRecord(const BatchKind& kind, const fs::path& outFolder, RunRecord record) {
    record.end = utcTime(std::time(nullptr));
    if (writeRunRecord(outFolder, record)) return true;
    printError(kind.name, "impossible d'écrire le compte rendu du lancement dans « " +
                              utf8FromPath(outFolder / RUN_RECORD_FOLDER) + " »");
    return false;
}

// The table, this run's record, then the page, which shows every run recorded.
int finishWithTableAndPage(const BatchKind& kind, const fs::path& outFolder,
                           const std::vector<ScanResult>& results, const FolderLayout& layout,
                           int skipped, const RunRecord& record) {
    const bool tableWritten = writeTable(kind, outFolder, results, layout);
    const bool recorded = saveRunRecord(kind, outFolder, record);
    const bool pageWritten = writePage(kind, outFolder, results, layout);
    const BatchExitStatus status =
        summarize(kind, results, layout, skipped,
                  " ; tableau : " + utf8FromPath(outFolder / kind.tableFile) +
                      " ; page : " + utf8FromPath(outFolder / RESULTS_PAGE_FILE));
    return tableWritten && recorded && pageWritten ? status : SOME_FAILED;
}

int runBatch(const BatchKind& kind, const BatchOptions& options, const FolderLayout& layout,
             RunRecord record) {
    if (kind.runsUpdateHook && !options.shard) {
        // Its outcome changes nothing, as for a lone run.
        const int hookStatus = std::system("update.bat");
        static_cast<void>(hookStatus);
    } else if (kind.runsUpdateHook) {
        printError(kind.name, "update.bat n'est pas lancé avec --shard");
    }
    const fs::path scansFolder = pathFromUtf8(options.scansFolder);
    std::error_code error;
    if (!fs::is_directory(scansFolder, error)) {
        printError(kind.name, "« " + options.scansFolder + " » n'est pas un dossier");
        return BAD_COMMAND_LINE;
    }
    std::vector<std::string> names;
    try {
        names = listScans(scansFolder);
    } catch (const fs::filesystem_error& failure) {
        printError(kind.name, "impossible de lire le dossier « " + options.scansFolder +
                                  " » : " + failure.code().message());
        return BAD_COMMAND_LINE;
    }
    if (names.empty()) printError(kind.name, "aucune image dans « " + options.scansFolder + " »");
    record.images = static_cast<int>(names.size());
    if (options.shard) names = selectShard(names, *options.shard, options.shardCount);

    const fs::path outFolder = fullPath(options.outFolder);
    fs::create_directories(outFolder, error);
    if (error) {
        printError(kind.name, "impossible de créer le dossier « " + utf8FromPath(outFolder) +
                                  " » : " + error.message());
        return SOME_FAILED;
    }

    std::vector<PendingScan> pending;
    for (const std::string& name : names) {
        const fs::path path = fs::absolute(scansFolder / pathFromUtf8(name));
        const fs::path folder = outFolder / pathFromUtf8(name);
        const ScanFingerprint fingerprint = fingerprintScan(path).value_or(ScanFingerprint{});
        if (options.force || !holdsCompleteResult(folder, fingerprint, layout)) {
            pending.push_back({name, path, fingerprint});
        } else if (!fs::exists(folder / RESOLUTION_FILE, error)) {
            // Measured by a version that kept no resolution: the unchanged scan still tells it.
            keepStatedResolution(folder, path);
        }
    }
    const int skipped = static_cast<int>(names.size() - pending.size());
    if (skipped > 0) {
        std::cerr << kind.name << " : " << skipped
                  << " image(s) déjà mesurée(s), reprises telles quelles" << std::endl;
    }

    if (!pending.empty()) {
        const std::optional<fs::path> program = kind.findChild();
        if (!program) {
            printError(kind.name, layout.program + " introuvable, ni à côté de " + kind.name +
                                      " ni dans le PATH");
            return SOME_FAILED;
        }
        Measurements measurements;
        const JobPlan plan = chooseJobs(kind.name, options.jobs, pending, kind.need);
        record.jobs = plan.jobs;
        const int stopSignal =
            runScans(measurements, kind.name, {*program, kind.childArguments, layout.scanDpi},
                     outFolder, layout, pending, plan);
        if (stopSignal != 0) {
            printError(kind.name,
                       "arrêté par le signal " + std::to_string(stopSignal) +
                           " ; les mesures en cours ont été arrêtées, relancez la même commande "
                           "pour reprendre");
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
        const BatchExitStatus status =
            summarize(kind, results, layout, skipped,
                      " ; tableau : lancez « " + kind.name + " --merge " + typedFolder(outFolder) +
                          " » une fois tous les morceaux terminés");
        return saveRunRecord(kind, outFolder, record) ? status : SOME_FAILED;
    }
    return finishWithTableAndPage(kind, outFolder, results, layout, skipped, record);
}

int runMerge(const BatchKind& kind, const BatchOptions& options, const FolderLayout& layout,
             RunRecord record) {
    const fs::path outFolder = fullPath(options.outFolder);
    std::error_code error;
    if (!fs::is_directory(outFolder, error)) {
        printError(kind.name, "« " + utf8FromPath(outFolder) + " » n'est pas un dossier");
        return BAD_COMMAND_LINE;
    }
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(outFolder, error)) {
        const std::string name = utf8FromPath(entry.path().filename());
        if (entry.is_directory(error) && isScanName(name)) names.push_back(name);
    }
    sortNaturally(names);
    if (names.empty())
        printError(kind.name, "aucun dossier de scan dans « " + utf8FromPath(outFolder) + " »");

    record.images = static_cast<int>(names.size());
    const std::vector<ScanResult> results = readResults(outFolder, names, layout);
    record.otherResolution = countOtherResolutions(results, layout);
    return finishWithTableAndPage(kind, outFolder, results, layout, 0, record);
}

int run(const std::vector<std::string>& words, const BatchKind& kind) {
    const ParsedCommandLine commandLine =
        parseCommandLine(std::vector<std::string>(words.begin() + 1, words.end()),
                         kind.defaultOutFolder, kind.takesDpi);
    if (!commandLine.options) {
        printError(kind.name, commandLine.error + " (" + kind.name + " --help pour l'aide)");
        return BAD_COMMAND_LINE;
    }
    const BatchOptions& options = *commandLine.options;
    if (options.help) {
        std::cout << kind.help();
        return ALL_MEASURED;
    }
    if (options.version) {
        std::cout << versionText(kind.name);
        return ALL_MEASURED;
    }
    const RunRecord record = startRunRecord(options, commandLineText(words));
    FolderLayout layout = kind.layout;
    if (options.dpi) layout.scanDpi = *options.dpi;
    return options.merge ? runMerge(kind, options, layout, record)
                         : runBatch(kind, options, layout, record);
}

}  // namespace

int runBatchProgram(const std::vector<std::string>& words, const BatchKind& kind) {
    showUtf8OnConsole();
    // Whatever goes wrong ends the batch with a status and a message, never with an abort.
    const auto runCommand = [&kind](const std::vector<std::string>& command) {
        try {
            return run(command, kind);
        } catch (const std::exception& failure) {
            printError(kind.name, std::string("erreur inattendue : ") + failure.what());
        } catch (...) {
            printError(kind.name, "erreur inattendue");
        }
        return static_cast<int>(SOME_FAILED);
    };
    return plantscan::batch::runAsStarted(words, {kind.name, kind.defaultOutFolder, runCommand});
}
