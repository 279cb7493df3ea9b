// The CPU time leaflet_batch adds per scan to what a lone leaflet_crop run costs: measuring the
// leaflets, the thumbnails (the drawing and every crop) and a share of the page.
//   leaflet_costs_bench [WIDTH HEIGHT]   a generated scan, five leaves (default 3000 x 2000)
#include "bench/cpu_time.h"
#include "leaflet_batch/leaflet_kind.h"
#include "leaflet_crop/detection.h"
#include "leaflet_crop/leaflet_size.h"
#include "page/thumbnail.h"
#include "stored/scan_folder.h"
#include "tools/scan_synth.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

using namespace plantscan::leaflet;
using namespace plantscan::leaflet_batch;
using namespace plantscan::page;
using namespace plantscan::stored;
using namespace plantscan::tools;

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const int width = argc > 2 ? std::stoi(argv[1]) : 3000;
    const int height = argc > 2 ? std::stoi(argv[2]) : 2000;
    constexpr int ROUNDS = 5;
    constexpr int PAGE_SCANS = 300;
    const fs::path root =
        fs::temp_directory_path() / ("leaflet_costs_bench_" + std::to_string(::getpid()));
    const fs::path lone = root / "lone";
    const fs::path out = root / "out";
    const fs::path folder = out / "planche_000.jpg";
    fs::create_directories(lone);
    fs::create_directories(folder);
    LeafletScanParams params;
    params.width = width;
    params.height = height;
    params.leaves = defaultLeafLayout(width, height);
    const cv::Mat scan = makeLeafletScan(params);
    cv::imwrite((lone / "planche_000.jpg").string(), scan);
    const fs::path scanPath = fs::absolute(lone / "planche_000.jpg");

    // The whole programs, the median of a few runs.
    std::vector<double> cropSeconds, singleScanSeconds;
    for (int i = 0; i < ROUNDS; ++i) {
        cropSeconds.push_back(childCpuSeconds(lone, {LEAFLET_CROP_BINARY, "planche_000.jpg"}));
        singleScanSeconds.push_back(
            childCpuSeconds(folder, {LEAFLET_BATCH_BINARY, "--une-image", scanPath.string()}));
    }
    std::sort(cropSeconds.begin(), cropSeconds.end());
    std::sort(singleScanSeconds.begin(), singleScanSeconds.end());
    const double crop = cropSeconds[ROUNDS / 2];
    const double singleScan = singleScanSeconds[ROUNDS / 2];

    // Measuring the leaflets alone, in process.
    cv::Mat gray, blackAndWhite;
    cv::cvtColor(scan, gray, cv::COLOR_BGR2GRAY);
    cv::threshold(gray, blackAndWhite, 50, 255, cv::THRESH_BINARY);
    const LeafletBoxes found = findLeafletBoxes(blackAndWhite);
    double start = processCpuSeconds();
    constexpr int REPEATS = 50;
    for (int r = 0; r < REPEATS; ++r) {
        for (std::size_t i = 0; i < found.outlines.size(); ++i)
            measureLeaflet(blackAndWhite, found.outlines[i], found.fitted[i]);
    }
    const double measuring = (processCpuSeconds() - start) / REPEATS;

    const FolderLayout layout = leafletLayout();
    writeStatus(folder, {0, fingerprintScan(scanPath).value_or(ScanFingerprint{})});
    start = processCpuSeconds();
    for (int r = 0; r < ROUNDS; ++r) makeThumbnail(folder, layout.overview);
    const double drawingThumbnail = (processCpuSeconds() - start) / ROUNDS;
    start = processCpuSeconds();
    for (int r = 0; r < ROUNDS; ++r) makePieceThumbnails(folder, "planche_000.jpg", layout);
    const double cropThumbnails = (processCpuSeconds() - start) / ROUNDS;

    // A batch of PAGE_SCANS scans alike, but for their names.
    std::vector<ScanResult> results;
    start = processCpuSeconds();
    const ScanResult first = readScanFolder(folder, "planche_000.jpg", layout);
    for (int i = 0; i < PAGE_SCANS; ++i) {
        ScanResult copy = first;
        copy.scanName = "planche_" + std::to_string(i) + ".jpg";
        results.push_back(copy);
    }
    const std::string page =
        leafletResultsPage(results, layout, {"leaflet_batch", LEAFLET_TABLE_FILE, true, {}});
    const double pagePerScan = (processCpuSeconds() - start) / PAGE_SCANS;

    const auto share = [crop](double seconds) { return 100 * seconds / crop; };
    std::cout << std::fixed << std::setprecision(1) << width << " x " << height << ", "
              << found.boxes.size() << " leaflets, CPU per scan (median of " << ROUNDS
              << " runs):\n"
              << "  leaflet_crop                 " << crop * 1000 << " ms\n"
              << "  leaflet_batch --une-image    " << singleScan * 1000 << " ms (" << std::showpos
              << share(singleScan - crop) << std::noshowpos << " %)\n"
              << "    of which measuring         " << std::setprecision(2) << measuring * 1000
              << " ms (" << share(measuring) << " %)\n"
              << "  thumbnail of the drawing     " << std::setprecision(1)
              << drawingThumbnail * 1000 << " ms (" << share(drawingThumbnail) << " %)\n"
              << "  thumbnails of the crops      " << cropThumbnails * 1000 << " ms ("
              << share(cropThumbnails) << " %)\n"
              << "  page, per scan of " << PAGE_SCANS << "        " << std::setprecision(2)
              << pagePerScan * 1000 << " ms (" << share(pagePerScan) << " %, page "
              << page.size() / 1024 << " KB)\n";
    fs::remove_all(root);
    return 0;
}
