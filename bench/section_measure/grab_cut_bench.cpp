// Whole section_measure runs against the same program on cv::grabCut
// (section_measure_opencv_grabcut), on generated scans as they are ("plain", a few hundred
// colours) and with a scanner's noise and colour cast ("rich", about 100 000 colours at 4 MP):
//
//   - both pinned to one core (as taskset does, and OPENCV_FOR_THREADS_NUM=1), run alternately:
//     their wall times, the ratio, and their peak resident memory;
//   - section_measure on every core this process may use, against itself on one core: the
//     ratio, and the serial part that remains (Amdahl: the share s of the one-core time that
//     runs on one core whatever the count of cores n, from t_n / t_1 = s + (1 - s) / n); and
//     the ratio of the fastest runs.
//
// Each time is the median of the runs; every run's files are compared with the reference's.
//
//   grab_cut_bench [--runs N] [--reference-runs N] [--jpeg] [MEGAPIXELS...]
//
// Defaults: 3 runs, 1 4 16 MP, scans written as PNG; --jpeg writes them as a scanner does
// (quality 95), whose decoding takes less of the time that runs on one core.
//
// The machine may be shared: the load average before and after each line is printed with it.
#include "tools/scan_synth.h"

#include <opencv2/imgcodecs.hpp>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

using namespace plantscan::tools;

namespace fs = std::filesystem;

namespace {

struct Run {
    double seconds = 0;
    double peakMb = 0;
    int status = -1;
};

Run runChild(const std::string& program, const fs::path& scan, const fs::path& folder,
             bool oneCore) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(120);
        if (oneCore) {
            cpu_set_t allowed;
            CPU_ZERO(&allowed);
            if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) _exit(121);
            int last = CPU_SETSIZE - 1;
            while (!CPU_ISSET(last, &allowed)) --last;
            CPU_ZERO(&allowed);
            CPU_SET(last, &allowed);
            if (sched_setaffinity(0, sizeof allowed, &allowed) != 0) _exit(122);
            setenv("OPENCV_FOR_THREADS_NUM", "1", 1);
        }
        if (!freopen("console.txt", "w", stdout) || !freopen("errors.txt", "w", stderr)) _exit(123);
        execl(program.c_str(), program.c_str(), scan.c_str(), static_cast<char*>(nullptr));
        _exit(124);
    }
    Run run;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakMb = usage.ru_maxrss / 1024.0;  // kilobytes on Linux
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool sameOutputs(const fs::path& a, const fs::path& b) {
    for (const char* name : {"console.txt", "gray.bmp", "bw.jpg", "bw2.jpg", "grabcut.jpg",
                             "res.jpg", "rayonsCourbureAngles.jpg", "rayonsCourbureCreux.jpg",
                             "cercleCirconscrit.jpg", "cercleInscrit.jpg", "mesures.csv"}) {
        if (!fs::exists(a / name) || contentOf(a / name) != contentOf(b / name)) return false;
    }
    return true;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::size_t distinctColours(const cv::Mat& image) {
    std::unordered_set<int> colours;
    for (auto it = image.begin<cv::Vec3b>(); it != image.end<cv::Vec3b>(); ++it)
        colours.insert((*it)[0] | ((*it)[1] << 8) | ((*it)[2] << 16));
    return colours.size();
}

double loadAverage() {
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

int coresAllowed() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    return sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3, referenceRuns = 3;
    std::string extension = ".png";
    std::vector<double> megapixels;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--jpeg") {
            extension = ".jpg";
        } else if (arg == "--reference-runs" && i + 1 < argc) {
            referenceRuns = std::max(1, std::atoi(argv[++i]));
        } else if (const double mp = std::atof(arg.c_str()); mp > 0) {
            megapixels.push_back(mp);
        } else {
            std::fprintf(stderr,
                         "grab_cut_bench: not an option or a size in megapixels: %s\n"
                         "usage: grab_cut_bench [--runs N] [--reference-runs N] [--jpeg] "
                         "[MEGAPIXELS...]\n",
                         arg.c_str());
            return 2;
        }
    }
    if (megapixels.empty()) megapixels = {1, 4, 16};
    const int cores = coresAllowed();

    const fs::path work =
        fs::temp_directory_path() / ("grab_cut_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    std::printf(
        "One core: both programs pinned to one core. %d cores: section_measure on all of "
        "them against one.\n",
        cores);
    std::printf("%-4s %-5s %7s | %8s %7s %6s | %6s %6s | %7s %6s %6s | %6s | %s\n", "MP", "scan",
                "colours", "OpenCV s", "ours s", "ratio", "OpenCV", "ours", "ours s", "ratio",
                "serial", "ratio", "outputs, load");
    std::printf("%-4s %-5s %7s | %23s | %13s | %21s | %6s |\n", "", "", "", "one core", "peak MB",
                (std::to_string(cores) + " cores").c_str(), "best");
    std::fflush(stdout);  // before any fork, or the children write it again
    for (const double mp : megapixels) {
        const int side = static_cast<int>(std::lround(std::sqrt(mp * 1e6)));
        for (const bool rich : {false, true}) {
            SectionScanParams params;
            params.width = params.height = side;
            params.center = {side / 2.0, side / 2.0};
            params.radius = 0.35 * side;
            params.seed = 3;
            if (rich) {
                params.sensorNoise = 3;
                params.colourCast = 6;
            }
            const cv::Mat image = makeSectionScan(params);
            const fs::path scan = work / ("scan" + extension);
            cv::imwrite(scan.string(), image);
            const std::size_t colours =  // as read: a JPEG's are not the image's
                distinctColours(cv::imread(scan.string(), cv::IMREAD_COLOR));
            std::vector<double> refTime, refPeak, oneTime, onePeak, allTime;
            bool same = true, complete = true;
            const double loadBefore = loadAverage();
            for (int r = 0; r < std::max(runs, referenceRuns); ++r) {
                if (r < referenceRuns) {
                    const Run ref = runChild(SECTION_MEASURE_OPENCV, scan, work / "opencv", true);
                    refTime.push_back(ref.seconds);
                    refPeak.push_back(ref.peakMb);
                    complete = complete && ref.status == 0;
                }
                if (r < runs) {
                    const Run one = runChild(SECTION_MEASURE, scan, work / "one", true);
                    oneTime.push_back(one.seconds);
                    onePeak.push_back(one.peakMb);
                    const Run all = runChild(SECTION_MEASURE, scan, work / "all", false);
                    allTime.push_back(all.seconds);
                    complete = complete && one.status == 0 && all.status == 0;
                    same = same && sameOutputs(work / "opencv", work / "one") &&
                           sameOutputs(work / "opencv", work / "all");
                }
            }
            const double rt = median(refTime), ot = median(oneTime), at = median(allTime);
            const double speedRatio = at / ot;
            const double serial = cores > 1 ? (cores * speedRatio - 1) / (cores - 1) : 1;
            // The fastest runs' ratio too: on a shared machine a run is only ever slowed, and
            // more often when it takes every core.
            const double bestRatio = *std::min_element(allTime.begin(), allTime.end()) /
                                     *std::min_element(oneTime.begin(), oneTime.end());
            std::printf(
                "%-4g %-5s %7zu | %8.2f %7.2f %6.3f | %6.0f %6.0f | %7.2f %6.3f %6.2f | %6.3f | "
                "%s%s, %.1f-%.1f\n",
                mp, rich ? "rich" : "plain", colours, rt, ot, ot / rt, median(refPeak),
                median(onePeak), at, speedRatio, serial, bestRatio, same ? "same" : "DIFFERENT",
                complete ? "" : " (a run failed)", loadBefore, loadAverage());
            std::fflush(stdout);
        }
    }
    fs::remove_all(work);
    return 0;
}
