#include "batch/batch_run.h"

#include "batch/command_line.h"
#include "batch/desktop_start.h"
#include "batch/processes.h"
#include "batch/run_record.h"
#include "batch/scans.h"
#include "batch/scheduler.h"
#include "batch/shell_quoting.h"
#include "page/french_text.h"
#include "page/thumbnail.h"
#include "plant_scan_tools/version.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/system_errors.h"
#include "scan_input/scan_input.h"
#include "stored/atomic_file.h"
#include "stored/utc_time.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <set>
#include <string>
#include <system_error>

namespace plantscan::batch {

namespace fs = std::filesystem;

namespace {

// The results folder as the batch works on it and names it: in full, wherever it was run.
fs::path fullPath(const std::string& folder) {
    std::error_code error;
    const fs::path given = platform::pathFromUtf8(folder);
    const fs::path full = given.empty() ? given : fs::absolute(given, error);
    return error ? given : full;
}

// A folder in a command the user may type again: quoted when it holds a space.
std::string typedFolder(const fs::path& folder) {
    const std::string text = platform::utf8FromPath(folder);
    return text.find(' ') == std::string::npos ? text : "\"" + text + "\"";
}

// Each scan's folder, read once for the table, the page and the thumbnails.
std::vector<stored::ScanResult> readResults(const fs::path& outFolder,
                                            const std::vector<std::string>& names,
                                            const stored::FolderLayout& layout) {
    std::vector<stored::ScanResult> results;
    for (const std::string& name : names)
        results.push_back(
            stored::readScanFolder(outFolder / platform::pathFromUtf8(name), name, layout));
    return results;
}

bool writeTable(const BatchKind& kind, const fs::path& outFolder,
                const std::vector<stored::ScanResult>& results,
                const stored::FolderLayout& layout) {
    if (stored::writeFileAtomically(outFolder / kind.tableFile, kind.table(results, layout)))
        return true;
    printError(kind.name, "impossible d'écrire « " +
                              platform::utf8FromPath(outFolder / kind.tableFile) + " »");
    return false;
}

bool writePage(const BatchKind& kind, const fs::path& outFolder,
               const std::vector<stored::ScanResult>& results, const stored::FolderLayout& layout) {
    page::PageContext context{kind.name, kind.tableFile, false, {}};
    std::error_code error;
    context.tablePresent = fs::is_regular_file(outFolder / kind.tableFile, error);
    for (const RunRecord& record : readRunRecords(outFolder))
        context.runs.push_back({record.start, record.end});
    const std::string page =
        kind.page(page::withThumbnails(outFolder, results, layout), layout, context);
    if (page::writeResultsPage(outFolder, page)) return true;
    printError(kind.name, "impossible d'écrire « " +
                              platform::utf8FromPath(outFolder / page::RESULTS_PAGE_FILE) + " »");
    return false;
}

int countOtherResolutions(const std::vector<stored::ScanResult>& results,
                          const stored::FolderLayout& layout) {
    return static_cast<int>(std::count_if(
        results.begin(), results.end(),
        [&](const stored::ScanResult& r) { return stored::statesOtherResolution(r, layout); }));
}

// A line for each measured scan stated at another resolution, then the summary line with the
// count of those to check; ALL_MEASURED only when every scan holds a complete result (a scan to
// check is measured).
BatchExitStatus summarize(const BatchKind& kind, const std::vector<stored::ScanResult>& results,
                          const stored::FolderLayout& layout, int skipped,
                          const std::string& tableNote) {
    int toCheck = 0;
    for (const stored::ScanResult& result : results) {
        if (!stored::measuredToCheck(result, layout)) continue;
        ++toCheck;
        std::cout << kind.name << " : « " << result.scanName
                  << " » à vérifier : " << page::resolutionWords(result, layout) << std::endl;
    }
    std::string failed;
    int failures = 0;
    for (const stored::ScanResult& result : results) {
        if (result.measured()) continue;
        ++failures;
        failed += (failed.empty() ? "" : ", ") + result.scanName + " (";
        failed +=
            result.exitStatus ? "statut " + std::to_string(*result.exitStatus) : "pas de statut";
        failed += ")";
    }
    const std::string count = std::to_string(results.size());
    const std::string checkNote =
        std::to_string(toCheck) + " à vérifier (autre résolution déclarée, voir plus haut)";
    if (failures == 0) {
        std::cout << kind.name << " : " << count << " scan(s) mesuré(s)";
        if (skipped > 0) std::cout << " dont " << skipped << " déjà fait(s) avant";
        if (toCheck > 0) std::cout << (skipped > 0 ? ", " : " dont ") << checkNote;
    } else {
        std::cout << kind.name << " : " << failures << " scan(s) sur " << count
                  << " en échec : " << failed;
        if (toCheck > 0) std::cout << " ; mesuré(s) : " << checkNote;
    }
    std::cout << tableNote << std::endl;
    if (kind.summaryNote) {
        for (const std::string& line : kind.summaryNote(results, layout))
            std::cout << kind.name << " : " << line << std::endl;
    }
    return failures == 0 ? ALL_MEASURED : SOME_FAILED;
}

// Written last, so that an interrupted run leaves no record.
bool saveRunRecord(const BatchKind& kind, const fs::path& outFolder, RunRecord record) {
    record.end = stored::utcTime(std::time(nullptr));
    if (writeRunRecord(outFolder, record)) return true;
    printError(kind.name, "impossible d'écrire le compte rendu du lancement dans « " +
                              platform::utf8FromPath(outFolder / RUN_RECORD_FOLDER) + " »");
    return false;
}

// The table, this run's record, then the page, which shows every run recorded.
int finishWithTableAndPage(const BatchKind& kind, const fs::path& outFolder,
                           const std::vector<stored::ScanResult>& results,
                           const stored::FolderLayout& layout, int skipped,
                           const RunRecord& record) {
    const bool tableWritten = writeTable(kind, outFolder, results, layout);
    const bool recorded = saveRunRecord(kind, outFolder, record);
    const bool pageWritten = writePage(kind, outFolder, results, layout);
    const BatchExitStatus status =
        summarize(kind, results, layout, skipped,
                  " ; tableau : " + platform::utf8FromPath(outFolder / kind.tableFile) +
                      " ; page : " + platform::utf8FromPath(outFolder / page::RESULTS_PAGE_FILE));
    return tableWritten && recorded && pageWritten ? status : SOME_FAILED;
}

// A folder named on the command line; nothing, said, when it is not one.
std::optional<fs::path> givenFolder(const BatchKind& kind, const std::string& name) {
    const fs::path folder = platform::pathFromUtf8(name);
    std::error_code error;
    if (fs::is_directory(folder, error)) return folder;
    printError(kind.name,
               "« " + platform::utf8FromPath(fullPath(name)) + " » n'est pas un dossier");
    return std::nullopt;
}

// "update.bat" through the command interpreter, as a lone run calls it, where the interpreter
// would find one: without, the shell's complaint would read as an error. Its outcome changes
// nothing.
void runUpdateHook() {
    constexpr const char* UPDATE_HOOK = "update.bat";
    if (!commandInterpreterFinds(UPDATE_HOOK)) return;
    const int hookStatus = std::system(UPDATE_HOOK);
    static_cast<void>(hookStatus);
}

// Why scans already measured are measured again, when it is not that they failed or changed:
// another resolution asked, or values of another version.
void sayWhyMeasuredAgain(const BatchKind& kind, const std::vector<stored::StoredResult>& stored,
                         const stored::FolderLayout& layout) {
    std::set<std::string> resolutions;
    std::size_t otherResolution = 0, otherVersion = 0;
    for (const stored::StoredResult& result : stored) {
        if (result.standing == stored::Standing::OTHER_RESOLUTION) {
            ++otherResolution;
            resolutions.insert(input::dpiText(result.measuredWith->dpi));
        }
        if (result.standing == stored::Standing::OTHER_VERSION) ++otherVersion;
    }
    if (otherResolution > 0) {
        std::string at;
        for (const std::string& dpi : resolutions) at += (at.empty() ? "" : ", ") + dpi;
        std::cerr << kind.name << " : " << otherResolution << " scan(s) mesuré(s) à " << at
                  << " dpi, mesuré(s) à nouveau à " << input::dpiText(layout.scanDpi)
                  << " dpi, la résolution demandée : leurs longueurs et leurs aires en dépendent"
                  << std::endl;
    }
    if (otherVersion > 0) {
        std::cerr << kind.name << " : " << otherVersion
                  << " scan(s) mesuré(s) par une autre version de " << kind.name
                  << ", dont les valeurs ont changé depuis : mesuré(s) à nouveau" << std::endl;
    }
}

int runBatch(const BatchKind& kind, const BatchOptions& options, const stored::FolderLayout& layout,
             RunRecord record) {
    if (kind.runsUpdateHook && !options.shard) {
        runUpdateHook();
    } else if (kind.runsUpdateHook) {
        printError(kind.name, "update.bat n'est pas lancé avec --shard");
    }
    const std::optional<fs::path> scansFolder = givenFolder(kind, options.scansFolder);
    if (!scansFolder) return BAD_COMMAND_LINE;
    std::error_code error;
    std::vector<std::string> names;
    try {
        names = listScans(*scansFolder);
    } catch (const fs::filesystem_error& failure) {
        printError(kind.name, "impossible de lire le dossier « " + options.scansFolder +
                                  " » : " + platform::frenchErrorWords(failure.code()));
        return BAD_COMMAND_LINE;
    }
    if (names.empty()) printError(kind.name, "aucun scan dans « " + options.scansFolder + " »");
    record.images = static_cast<int>(names.size());
    if (options.shard) names = selectShard(names, *options.shard, options.shardCount);

    const fs::path outFolder = fullPath(options.outFolder);
    fs::create_directories(outFolder, error);
    if (error) {
        printError(kind.name, "impossible de créer le dossier « " +
                                  platform::utf8FromPath(outFolder) + " » : " +
                                  platform::frenchErrorWords(error));
        return SOME_FAILED;
    }

    std::vector<PendingScan> pending;
    std::vector<stored::StoredResult> measuredBefore;
    for (const std::string& name : names) {
        const fs::path path = fs::absolute(*scansFolder / platform::pathFromUtf8(name));
        const fs::path folder = outFolder / platform::pathFromUtf8(name);
        const stored::ScanFingerprint fingerprint =
            stored::fingerprintScan(path).value_or(stored::ScanFingerprint{});
        const stored::StoredResult stored = stored::storedResult(folder, fingerprint, layout);
        if (options.force || stored.standing != stored::Standing::COMPLETE) {
            pending.push_back({name, path, fingerprint});
            if (!options.force) measuredBefore.push_back(stored);
        } else if (!fs::exists(folder / stored::RESOLUTION_FILE, error)) {
            // Measured by a version that kept no resolution: the unchanged scan still tells it.
            stored::keepStatedResolution(folder, path);
        }
    }
    sayWhyMeasuredAgain(kind, measuredBefore, layout);
    const int skipped = static_cast<int>(names.size() - pending.size());
    if (skipped > 0) {
        std::cerr << kind.name << " : " << skipped << " scan(s) déjà mesuré(s), repris tels quels"
                  << std::endl;
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

    const std::vector<stored::ScanResult> results = readResults(outFolder, names, layout);
    // What this run measured, as its scans' folders now hold it.
    record.skipped = skipped;
    record.otherResolution = countOtherResolutions(results, layout);
    std::set<std::string> measuredNow;
    for (const PendingScan& scan : pending) measuredNow.insert(scan.name);
    for (const stored::ScanResult& result : results) {
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

// Values of another version than this program's would sit in one table under columns that
// mean something else: said, folder by folder, and true.
bool refuseOtherVersions(const BatchKind& kind, const fs::path& outFolder,
                         const std::vector<stored::ScanResult>& results,
                         const stored::FolderLayout& layout) {
    if (layout.valuesVersion == 0) return false;
    std::vector<std::string> lines;
    for (const stored::ScanResult& result : results) {
        if (result.exitStatus != 0 || !result.valuesVersion ||
            *result.valuesVersion == layout.valuesVersion)
            continue;
        lines.push_back(
            "  « " + platform::utf8FromPath(outFolder / platform::pathFromUtf8(result.scanName)) +
            " » : valeurs de la version " + std::to_string(*result.valuesVersion));
    }
    if (lines.empty()) return false;
    printError(kind.name, "fusion refusée : " + std::to_string(lines.size()) +
                              " dossier(s) tiennent des valeurs d'une autre version de " +
                              kind.name + " que celle-ci (version " +
                              std::to_string(layout.valuesVersion) +
                              " des valeurs), qui ne se mêlent pas dans un tableau :");
    for (const std::string& line : lines) std::cerr << line << std::endl;
    std::cerr << kind.name << " : relancez " << kind.name
              << " SCANS SORTIE (ou chaque morceau, --shard) avec cette version : il les "
                 "mesurera à nouveau ; puis --merge"
              << std::endl;
    return true;
}

int runMerge(const BatchKind& kind, const BatchOptions& options, const stored::FolderLayout& layout,
             RunRecord record) {
    if (!givenFolder(kind, options.outFolder)) return BAD_COMMAND_LINE;
    const fs::path outFolder = fullPath(options.outFolder);
    std::error_code error;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(outFolder, error)) {
        const std::string name = platform::utf8FromPath(entry.path().filename());
        if (entry.is_directory(error) && isScanName(name)) names.push_back(name);
    }
    sortNaturally(names);
    if (names.empty())
        printError(kind.name,
                   "aucun dossier de scan dans « " + platform::utf8FromPath(outFolder) + " »");

    record.images = static_cast<int>(names.size());
    const std::vector<stored::ScanResult> results = readResults(outFolder, names, layout);
    if (refuseOtherVersions(kind, outFolder, results, layout)) return SOME_FAILED;
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
        std::cout << detail::versionLine(kind.name);
        return ALL_MEASURED;
    }
    const RunRecord record = startRunRecord(options, commandLineText(words));
    stored::FolderLayout layout = kind.layout;
    if (options.dpi) layout.scanDpi = *options.dpi;
    return options.merge ? runMerge(kind, options, layout, record)
                         : runBatch(kind, options, layout, record);
}

// Whatever goes wrong ends the batch with a status and a message, never with an abort.
template <typename Work>
int withoutAbort(const std::string& batchName, const Work& work) {
    try {
        return work();
    } catch (const fs::filesystem_error& failure) {
        printError(batchName, "erreur inattendue sur « " + platform::utf8FromPath(failure.path1()) +
                                  " » : " + platform::frenchErrorWords(failure.code()));
    } catch (const std::system_error& failure) {
        printError(batchName, "erreur inattendue : " + platform::frenchErrorWords(failure.code()));
    } catch (const std::exception& failure) {
        printError(batchName, std::string("erreur inattendue : ") + failure.what());
    } catch (...) {
        printError(batchName, "erreur inattendue");
    }
    return SOME_FAILED;
}

}  // namespace

int runBatchProgram(const std::vector<std::string>& words, const BatchKind& kind) {
    platform::showUtf8OnConsole();
    input::silenceImageLibraryLog();
    // The command's failure is caught where a window started from the desktop still waits for
    // Enter after it; the desktop start's own, around the whole.
    const auto runCommand = [&kind](const std::vector<std::string>& command) {
        return withoutAbort(kind.name, [&] { return run(command, kind); });
    };
    return withoutAbort(kind.name, [&] {
        return runAsStarted(words, {kind.name, kind.defaultOutFolder, runCommand});
    });
}

}  // namespace plantscan::batch
