// Where our grabCut spends its time: each part of grabCutFromMask on a generated scan, its wall
// time and the CPU time of the whole process over it (CPU above wall: the part ran on several
// threads), at the thread counts given; and the process's peak memory when the part ended.
//
//   grab_cut_parts_bench [--threads N]... [MEGAPIXELS...]    default: 1 thread, 4 MP
//
// Plain and colour-rich scans, as grab_cut_bench makes them, and pure noise (every pixel a colour
// of its own, the costliest input). Each figure is the sum over the
// eight rounds; the fastest of three runs is kept.
#include "bench/cpu_time.h"
#include "section_measure/grab_cut.h"
#include "section_measure/segmentation.h"
#include "tools/scan_synth.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace plantscan::section;
using namespace plantscan::tools;

namespace {

using Clock = std::chrono::steady_clock;

struct PartTime {
    double wall = 0;
    double cpu = 0;
    double peakMb = 0;
};

// The process's peak resident memory so far (VmHWM), in MB.
double peakMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    double kilobytes = 0;
    while (status >> key) {
        if (key == "VmHWM:" && status >> kilobytes) return kilobytes / 1024;
    }
    return 0;
}

// Part name -> time, in the order parts first began.
struct Parts {
    std::vector<std::string> order;
    std::map<std::string, PartTime> time;
};

Parts timeParts(const cv::Mat& image, const cv::Mat& seed) {
    Parts parts;
    std::string current;
    Clock::time_point wallStart;
    double cpuStart = 0;
    const auto beginPart = [&](const char* name) {
        const Clock::time_point now = Clock::now();
        const double cpu = processCpuSeconds();
        if (!current.empty()) {
            PartTime& t = parts.time[current];
            t.wall += std::chrono::duration<double>(now - wallStart).count();
            t.cpu += cpu - cpuStart;
            t.peakMb = std::max(t.peakMb, peakMb());
        }
        current = name;
        if (!current.empty() && !parts.time.count(current)) parts.order.push_back(current);
        if (!current.empty()) parts.time[current];
        wallStart = now;
        cpuStart = cpu;
    };
    cv::Mat mask = seed.clone();
    cv::theRNG() = cv::RNG();
    plantscan::section::grabCutFromMask(image, mask, GRABCUT_ITERATIONS, beginPart);
    return parts;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> threads;
    std::vector<double> megapixels;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--threads" && i + 1 < argc) {
            threads.push_back(std::max(1, std::atoi(argv[++i])));
        } else {
            megapixels.push_back(std::atof(arg.c_str()));
        }
    }
    if (threads.empty()) threads = {1};
    if (megapixels.empty()) megapixels = {4};
    for (const double mp : megapixels) {
        const int side = static_cast<int>(std::lround(std::sqrt(mp * 1e6)));
        for (const char* kind : {"plain", "colour-rich", "pure noise"}) {
            SectionScanParams params;
            params.width = params.height = side;
            params.center = {side / 2.0, side / 2.0};
            params.radius = 0.35 * side;
            params.seed = 3;
            if (kind[0] == 'c') {
                params.sensorNoise = 3;
                params.colourCast = 6;
            }
            const cv::Mat image = kind[0] == 'p' && kind[1] == 'u'
                                      ? makeNoiseScan(cv::Size(side, side), 1)
                                      : makeSectionScan(params);
            cv::Mat gray, dark;
            cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
            cv::threshold(gray, dark, DARK_LEVEL, 255, cv::THRESH_BINARY_INV);
            const cv::Mat seed = seedGrabCutMask(dark);
            for (const int n : threads) {
                cv::setNumThreads(n);
                Parts best;
                double bestWall = 0;
                for (int run = 0; run < 3; ++run) {
                    const Parts parts = timeParts(image, seed);
                    double wall = 0;
                    for (const auto& entry : parts.time) wall += entry.second.wall;
                    if (run == 0 || wall < bestWall) {
                        best = parts;
                        bestWall = wall;
                    }
                }
                std::printf("\n%g MP %s scan, %d thread(s): %.0f ms\n", mp, kind, n,
                            1e3 * bestWall);
                std::printf("  %-20s %9s %9s %6s %8s\n", "part", "wall ms", "CPU ms", "share",
                            "peak MB");
                for (const std::string& name : best.order) {
                    const PartTime& t = best.time[name];
                    std::printf("  %-20s %9.1f %9.1f %5.1f%% %8.0f\n", name.c_str(), 1e3 * t.wall,
                                1e3 * t.cpu, 100 * t.wall / bestWall, t.peakMb);
                }
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
