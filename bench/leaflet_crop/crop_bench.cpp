// Whole leaflet_crop runs on a generated 6000 x 4000 scan with 20 leaflets: crops cut from the
// whole scan warped at full size, against crops that warp only what the patch reads.
#include "leaflet_crop/detection.h"
#include "leaflet_crop/output_files.h"
#include "leaflet_crop/upright_crop.h"
#include "tools/scan_synth.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

using namespace plantscan::leaflet;
using namespace plantscan::tools;

namespace fs = std::filesystem;

namespace {

using Cropper = std::function<cv::Mat(const cv::Mat&, const cv::RotatedRect&)>;
using Clock = std::chrono::steady_clock;

cv::Mat cropFullSize(const cv::Mat& source, const cv::RotatedRect& box) {
    const UprightCut cut = uprightCut(box);
    cv::Mat rotated;
    cv::warpAffine(source, rotated, cut.rotation, source.size(), cv::INTER_CUBIC,
                   cv::BORDER_CONSTANT, 0);
    cv::Mat crop;
    cv::getRectSubPix(rotated, cut.patchSize, cut.center, crop, -1);
    return crop;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Timing {
    double wholeRun = 0;
    double cropLoop = 0;
    size_t leaflets = 0;
    std::vector<cv::Mat> crops;
};

// The program's run, file writes included, in the current folder.
Timing runOnce(const std::string& inputPath, const Cropper& crop) {
    Timing timing;
    const Clock::time_point start = Clock::now();
    const cv::Mat source = cv::imread(inputPath, cv::IMREAD_COLOR);
    const cv::Mat blackAndWhite = binarizeScan(
        source, [](const std::string& name, const cv::Mat& image) { cv::imwrite(name, image); });
    const LeafletBoxes found = findLeafletBoxes(blackAndWhite);
    const Clock::time_point cropStart = Clock::now();
    fs::create_directories("PETALES");
    for (int m = 0; m < static_cast<int>(found.boxes.size()); ++m) {
        timing.crops.push_back(crop(source, found.boxes[m]));
        cv::imwrite(cropFileName(inputPath, m), timing.crops.back());
    }
    timing.cropLoop = secondsSince(cropStart);
    cv::imwrite("drawing.jpg", found.drawing);
    timing.wholeRun = secondsSince(start);
    timing.leaflets = found.boxes.size();
    return timing;
}

Timing bestOf(int runs, const std::string& inputPath, const Cropper& crop) {
    Timing best = runOnce(inputPath, crop);
    for (int i = 1; i < runs; ++i) {
        Timing next = runOnce(inputPath, crop);
        best.wholeRun = std::min(best.wholeRun, next.wholeRun);
        best.cropLoop = std::min(best.cropLoop, next.cropLoop);
    }
    return best;
}

}  // namespace

int main() {
    LeafletScanParams params;
    params.width = 6000;
    params.height = 4000;
    params.seed = 7;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 5; ++col)
            params.leaves.push_back(
                {{600.0 + 1200 * col, 500.0 + 1000 * row}, 750, 300, -80.0 + 17 * (row * 5 + col)});

    const fs::path folder = fs::temp_directory_path() / "leaflet_crop_bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::current_path(folder);
    cv::imwrite("leaflet.jpg", makeLeafletScan(params));

    constexpr int kRuns = 3;
    const Timing fullSize = bestOf(kRuns, "leaflet.jpg", cropFullSize);
    const Timing patchOnly = bestOf(kRuns, "leaflet.jpg", cropUpright);

    bool identical = fullSize.crops.size() == patchOnly.crops.size();
    for (size_t i = 0; identical && i < fullSize.crops.size(); ++i)
        identical = fullSize.crops[i].size() == patchOnly.crops[i].size() &&
                    cv::norm(fullSize.crops[i], patchOnly.crops[i], cv::NORM_INF) == 0;

    std::cout << std::fixed << std::setprecision(3);
    std::cout << "scan " << params.width << " x " << params.height << ", " << fullSize.leaflets
              << " leaflets, best of " << kRuns << " runs, " << cv::getNumThreads()
              << " OpenCV threads\n";
    std::cout << "full-size warp : whole run " << fullSize.wholeRun << " s, crop loop "
              << fullSize.cropLoop << " s\n";
    std::cout << "patch-only warp: whole run " << patchOnly.wholeRun << " s, crop loop "
              << patchOnly.cropLoop << " s\n";
    std::cout << std::setprecision(1) << "speed-up       : whole run "
              << fullSize.wholeRun / patchOnly.wholeRun << "x, crop loop "
              << fullSize.cropLoop / patchOnly.cropLoop << "x\n";
    std::cout << "crops identical: " << (identical ? "yes" : "NO") << std::endl;

    fs::current_path(fs::temp_directory_path());
    fs::remove_all(folder);
    return identical ? EXIT_SUCCESS : EXIT_FAILURE;
}
