// Times section_measure's stages on generated scans and splits each stage into the OpenCV calls
// it makes (replayed on the stage's own data), the image writes, and our own code.
//
//   section_bench [--opencv-grabcut] [SIZE...]     default sizes 1000 and 2000 (square scans)
//
// --opencv-grabcut runs the segmentation with cv::grabCut itself as its grabCut step.
#include "section_measure/outline.h"
#include "section_measure/pipeline.h"
#include "section_measure/report.h"
#include "section_measure/segmentation.h"
#include "tools/scan_synth.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace plantscan::output;
using namespace plantscan::section;
using namespace plantscan::tools;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Replays are timed at their fastest, so that noise never inflates the OpenCV share.
double fastestOf(const std::function<void()>& work) {
    double fastest = secondsOf(work);
    for (int i = 0; i < 2; ++i) fastest = std::min(fastest, secondsOf(work));
    return fastest;
}

struct StageTime {
    std::string name;
    double total = 0;
    double opencv = 0;   // the OpenCV calls of the stage, replayed alone
    double imwrite = 0;  // the stage's image and report writes
    double own() const { return total - opencv - imwrite; }
};

void replayContours(const cv::Mat& foreground, cv::Mat drawing) {
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(foreground, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);
    for (int i = 0; i < static_cast<int>(contours.size()); ++i) {
        cv::drawContours(drawing, contours, i, cv::Scalar(1, 2, 3), 2, cv::LINE_8, hierarchy, 0);
        cv::contourArea(contours[i]);
    }
}

void replayCircles(const std::vector<cv::Point>& outline) {
    std::vector<cv::Point> hull;
    cv::convexHull(outline, hull, false, true);
    cv::Point2f centre;
    float radius = 0;
    cv::minEnclosingCircle(outline, centre, radius);
    const cv::Rect bounds = cv::boundingRect(outline);
    const cv::Rect box(bounds.x - 1, bounds.y - 1, bounds.width + 2, bounds.height + 2);
    cv::Mat mask = cv::Mat::zeros(box.size(), CV_8UC1);
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{outline}, cv::Scalar(255), cv::LINE_8, 0,
                 -box.tl());
    cv::Mat distances;
    cv::distanceTransform(mask, distances, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    double maximum = 0;
    cv::minMaxLoc(distances, nullptr, &maximum);
}

// The grabCut step as OpenCV does it, to weigh the pipeline's own step against.
void openCvGrabCut(const cv::Mat& image, cv::Mat& mask) {
    cv::Mat backgroundModel;
    cv::Mat foregroundModel;
    cv::grabCut(image, mask, cv::Rect(), backgroundModel, foregroundModel, GRABCUT_ITERATIONS,
                cv::GC_INIT_WITH_MASK);
}

std::vector<StageTime> timeRun(const std::string& input, const GrabCutStep& grabCut) {
    std::vector<StageTime> stages;
    Clock::time_point started;
    double writes = 0;
    const auto endStage = [&] {
        if (stages.empty()) return;
        stages.back().total = std::chrono::duration<double>(Clock::now() - started).count();
        stages.back().imwrite = writes;
    };
    const auto beginStage = [&](const std::string& name) {
        endStage();
        stages.push_back(StageTime{name});
        writes = 0;
        started = Clock::now();
    };
    cv::Mat sectionMask;  // the last "bw.jpg": what the later stages are replayed on
    const ImageWriter writeImage = [&](const std::string& name, const cv::Mat& image) {
        writes += secondsOf([&] { cv::imwrite(name, image); });
        if (name == "bw.jpg") sectionMask = image.clone();
    };
    std::ostringstream console;  // what the program prints, kept off the figures
    const RunOutputs outputs{console, writeImage, [&](const char* stage) { beginStage(stage); }};

    beginStage("lecture (imread)");
    const cv::Mat image = cv::imread(input, cv::IMREAD_COLOR);
    const SectionMeasurements measurements = measureScan(image, outputs, grabCut).measurements;
    beginStage("rapport");
    writeMeasurementReport(measurements);
    endStage();

    stages[0].opencv = stages[0].total;
    {
        // Our own code in the segmentation is the two label passes and the class check; the
        // rest is OpenCV.
        cv::Mat gray, thresholded;
        cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
        cv::threshold(gray, thresholded, DARK_LEVEL, 255, cv::THRESH_BINARY_INV);
        cv::Mat mask;
        const double own = secondsOf([&] {
            mask = seedGrabCutMask(thresholded);
            cv::countNonZero(mask == cv::GC_PR_FGD);
            takeForeground(mask);
        });
        stages[1].opencv = stages[1].total - stages[1].imwrite - own;
    }
    cv::Mat foreground;
    cv::bitwise_not(sectionMask, foreground);
    cv::Mat drawing = image.clone();
    const std::vector<cv::Point> outline = extractOutline(foreground, drawing, image.size());
    stages[2].opencv = fastestOf([&] { replayContours(foreground, drawing); });
    stages[3].opencv = fastestOf([&] {
        std::vector<cv::Point> hull;
        cv::convexHull(outline, hull, false, true);
    });
    stages[4].opencv = fastestOf([&] { replayCircles(outline); });
    stages[5].imwrite = stages[5].total;
    std::cerr << "  (contour of " << outline.size() << " points)\n";
    return stages;
}

void printFigures(int size, const std::vector<StageTime>& stages) {
    double total = 0, opencv = 0, imwrite = 0;
    std::printf("\nscan %d x %d\n", size, size);
    std::printf("  %-34s %10s %10s %10s %10s\n", "stage", "total ms", "OpenCV ms", "writes ms",
                "own ms");
    for (const StageTime& s : stages) {
        std::printf("  %-34s %10.1f %10.1f %10.1f %10.2f\n", s.name.c_str(), 1e3 * s.total,
                    1e3 * s.opencv, 1e3 * s.imwrite, 1e3 * s.own());
        total += s.total;
        opencv += s.opencv;
        imwrite += s.imwrite;
    }
    const double own = total - opencv - imwrite;
    std::printf("  %-34s %10.1f %10.1f %10.1f %10.2f\n", "run", 1e3 * total, 1e3 * opencv,
                1e3 * imwrite, 1e3 * own);
    std::printf("  own code: %.3f %% of the run (target < 2 %%)\n", 100.0 * own / total);
    std::printf(
        "  (own = total - OpenCV - writes: a difference of timings, so a few tenths of a\n"
        "   millisecond either way, and slightly negative now and then, are noise)\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    GrabCutStep grabCut = runGrabCut;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--opencv-grabcut") {
            grabCut = openCvGrabCut;
        } else {
            sizes.push_back(std::stoi(argv[i]));
        }
    }
    if (sizes.empty()) sizes = {1000, 2000};

    const fs::path folder =
        fs::temp_directory_path() / ("section_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    for (int size : sizes) {
        SectionScanParams params;
        params.width = size;
        params.height = size;
        params.center = {size / 2.0, size / 2.0};
        params.radius = 0.35 * size;
        params.rotationDeg = 10;
        params.seed = 11;
        cv::imwrite("section.jpg", makeSectionScan(params));
        printFigures(size, timeRun("section.jpg", grabCut));
    }
    fs::current_path(previous);
    fs::remove_all(folder);
    return 0;
}
