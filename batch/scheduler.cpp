#include "batch/scheduler.h"

#include "batch/processes.h"
#include "batch/progress.h"
#include "page/thumbnail.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "resources/memory_need.h"
#include "resources/resources.h"
#include "scan_input/image_header.h"
#include "stored/atomic_file.h"

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <system_error>

namespace plantscan::batch {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct RunningScan {
    ChildId id;
    PendingScan scan;
    Clock::time_point start;
};

std::string runningNames(const std::vector<RunningScan>& running) {
    std::string names;
    for (const RunningScan& scan : running) names += (names.empty() ? "" : ", ") + scan.scan.name;
    return names;
}

}  // namespace

void printError(const std::string& batchName, const std::string& message) {
    std::cerr << batchName << " : " << message << std::endl;
}

int jobsThatFit(int wanted, std::uint64_t bytesPerJob, std::uint64_t available) {
    if (bytesPerJob == 0) return std::max(1, wanted);
    const std::uint64_t fit = available / bytesPerJob;
    return static_cast<int>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(wanted, fit)));
}

std::uint64_t largestPixelCount(const std::vector<PendingScan>& scans) {
    std::uint64_t largest = 0;
    for (const PendingScan& scan : scans) {
        std::optional<cv::Size> size = input::readImageSizeFromHeader(scan.path);
        if (!size) {
            // The decoder may refuse a size by throwing; section_measure will say why.
            try {
                const cv::Mat decoded =
                    cv::imread(platform::utf8FromPath(scan.path), cv::IMREAD_GRAYSCALE);
                if (!decoded.empty()) size = decoded.size();
            } catch (const cv::Exception&) {
            }
        }
        if (size) largest = std::max(largest, input::pixelCount(*size));
    }
    return largest;
}

int threadsPerJob(int cores, int jobs) { return std::max(1, cores / std::max(1, jobs)); }

JobPlan chooseJobs(const std::string& batchName, std::optional<int> requested,
                   const std::vector<PendingScan>& scans, const resources::MemoryNeed& need) {
    const int cores = resources::availableCores();
    const int wanted = requested.value_or(cores);
    // The children share these; the process limit is each one's own.
    resources::MemoryRoom room = resources::probeMemoryRoom();
    room.processLeft.reset();
    const std::optional<std::uint64_t> available = resources::tightest(room);
    if (!available || scans.empty()) return {wanted, {std::nullopt, threadsPerJob(cores, wanted)}};
    const std::uint64_t bytesPerJob = need.bytesFor(largestPixelCount(scans));
    const int jobs = jobsThatFit(wanted, bytesPerJob, *available);
    if (jobs < wanted) {
        constexpr std::uint64_t MEGABYTE = 1024 * 1024;
        std::cerr << batchName << " : " << jobs << " mesure(s) à la fois au lieu de " << wanted
                  << " : le plus grand scan demande environ "
                  << (bytesPerJob + MEGABYTE - 1) / MEGABYTE << " Mo et " << *available / MEGABYTE
                  << " Mo sont disponibles" << std::endl;
    }
    return {jobs, {*available / static_cast<std::uint64_t>(jobs), threadsPerJob(cores, jobs)}};
}

int runScans(Measurements& measurements, const std::string& batchName, const MeasuringChild& child,
             const fs::path& outFolder, const stored::FolderLayout& layout,
             const std::vector<PendingScan>& scans, const JobPlan& plan) {
    const bool terminal = platform::errorOutputRedrawsLines();
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
        while (static_cast<int>(running.size()) < plan.jobs && next < scans.size()) {
            const PendingScan& scan = scans[next++];
            const fs::path folder = outFolder / platform::pathFromUtf8(scan.name);
            if (const std::optional<std::string> failure =
                    stored::clearScanFolder(folder, scan.name, layout)) {
                printError(batchName, *failure);
                ++done;
                continue;
            }
            if (!stored::keepStatedResolution(folder, scan.path)) {
                printError(batchName, "impossible d'écrire « " +
                                          platform::utf8FromPath(folder / stored::RESOLUTION_FILE) +
                                          " »");
            }
            const ChildId id = measurements.start(
                child.program, child.arguments(scan.path, child.dpi), folder, plan.share);
            if (id < 0) {
                printError(batchName, "impossible de lancer " + layout.program + " pour « " +
                                          scan.name + " »");
                ++done;
                continue;
            }
            running.push_back({id, scan, Clock::now()});
        }
        // The last scans may all have failed to start: nothing left to wait for.
        if (running.empty()) continue;
        if (terminal) report("", false);

        const std::optional<FinishedChild> ended = measurements.waitForChild(terminal ? 1000 : -1);
        if (!ended) continue;
        if (ended->stopSignal != 0) {
            measurements.stopAll(ended->stopSignal);
            if (terminal) std::cerr << "\r\x1b[K" << std::flush;
            return ended->stopSignal;
        }
        if (ended->id == 0) {
            // Children reaped behind our back: their scans keep no status, so they count as failed.
            printError(batchName, std::to_string(running.size()) +
                                      " mesure(s) perdue(s) : " + runningNames(running));
            running.clear();
            continue;
        }
        const auto it = std::find_if(running.begin(), running.end(),
                                     [&](const RunningScan& r) { return r.id == ended->id; });
        if (it == running.end()) continue;
        const RunningScan finished = *it;
        running.erase(it);
        ++done;

        const fs::path folder = outFolder / platform::pathFromUtf8(finished.scan.name);
        // On disk before the status that vouches for it.
        platform::syncToDisk(folder / layout.report);
        // Made while the other scans are still measured, not in a pass at the end.
        page::makeThumbnail(
            folder, layout.overview,
            stored::readPiecePlaces(folder, layout).value_or(std::vector<stored::PiecePlace>{}));
        page::makePieceThumbnails(folder, finished.scan.name, layout);
        if (!stored::writeStatus(folder, {ended->exitStatus, finished.scan.fingerprint})) {
            printError(batchName, "impossible d'écrire « " +
                                      platform::utf8FromPath(folder / stored::STATUS_FILE) + " »");
        }
        const bool measured = stored::readScanFolder(folder, finished.scan.name, layout).measured();
        std::string line = finishedLine(done, total, finished.scan.name, ended->exitStatus,
                                        measured, secondsSince(finished.start), layout);
        if (!measured)
            line += ", voir « " + platform::utf8FromPath(folder / stored::ERRORS_FILE) + " »";
        report(line, !measured);
    }
    if (terminal) std::cerr << "\r\x1b[K" << std::flush;
    return 0;
}

}  // namespace plantscan::batch
