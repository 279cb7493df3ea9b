// Whole section_measure runs with our grabCut against the same program on cv::grabCut: wall time
// and peak resident memory of the child, on generated scans as they are ("plain", a few hundred
// colours) and with a scanner's noise and colour cast ("rich", about 100 000 colours at 4 MP), on
// one core and on all cores. Each figure is the median of the runs, taken interleaved; the two
// programs' outputs are compared byte for byte.
//
//   grab_cut_bench [--runs N] [--reference-runs N] [MEGAPIXELS...]    default: 3 runs, 1 4 9
//
// One core: the child is pinned to one CPU (OpenCV's TBB pool follows the affinity) and gets
// OPENCV_FOR_THREADS_NUM=1. The machine may be shared: the load average is printed with each line.
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
#include <iostream>
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
            int first = 0;
            while (!CPU_ISSET(first, &allowed)) ++first;
            CPU_ZERO(&allowed);
            CPU_SET(first, &allowed);
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

}  // namespace

int main(int argc, char** argv) {
    int runs = 3, referenceRuns = 3;
    std::vector<double> megapixels;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--reference-runs" && i + 1 < argc) {
            referenceRuns = std::max(1, std::atoi(argv[++i]));
        } else {
            megapixels.push_back(std::atof(arg.c_str()));
        }
    }
    if (megapixels.empty()) megapixels = {1, 4, 9};

    const fs::path work =
        fs::temp_directory_path() / ("grab_cut_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    std::printf("%-5s %-6s %8s %-7s | %9s %8s %6s | %9s %8s %6s | %s\n", "MP", "scan", "colours",
                "cores", "OpenCV s", "ours s", "ratio", "OpenCV MB", "ours MB", "ratio",
                "outputs, load");
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
            const fs::path scan = work / "scan.png";
            cv::imwrite(scan.string(), image);
            const std::size_t colours = distinctColours(image);
            for (const bool oneCore : {true, false}) {
                std::vector<double> refTime, refPeak, ownTime, ownPeak;
                bool same = true, complete = true;
                const double loadBefore = loadAverage();
                for (int r = 0; r < std::max(runs, referenceRuns); ++r) {
                    if (r < referenceRuns) {
                        const Run ref =
                            runChild(SECTION_MEASURE_OPENCV, scan, work / "opencv", oneCore);
                        refTime.push_back(ref.seconds);
                        refPeak.push_back(ref.peakMb);
                        complete = complete && ref.status == 0;
                    }
                    if (r < runs) {
                        const Run own = runChild(SECTION_MEASURE, scan, work / "ours", oneCore);
                        ownTime.push_back(own.seconds);
                        ownPeak.push_back(own.peakMb);
                        complete = complete && own.status == 0;
                        if (r < referenceRuns)
                            same = same && sameOutputs(work / "opencv", work / "ours");
                    }
                }
                const double rt = median(refTime), ot = median(ownTime), rp = median(refPeak),
                             op = median(ownPeak);
                std::printf(
                    "%-5g %-6s %8zu %-7s | %9.2f %8.2f %6.3f | %9.0f %8.0f %6.3f | %s%s, "
                    "%.1f-%.1f\n",
                    mp, rich ? "rich" : "plain", colours, oneCore ? "1" : "all", rt, ot, ot / rt,
                    rp, op, op / rp, same ? "same" : "DIFFERENT", complete ? "" : " (a run failed)",
                    loadBefore, loadAverage());
                std::fflush(stdout);
            }
        }
    }
    fs::remove_all(work);
    return 0;
}
