// The CPU time section_batch adds per scan for the results page (one thumbnail, and a share of
// the page) against the CPU time of measuring that scan with section_measure.
//   results_page_bench [SIZE...]   generated scans of SIZE x SIZE pixels (default 1000 2000)
#include "bench/cpu_time.h"
#include "page/results_page.h"
#include "page/thumbnail.h"
#include "section_batch/section_kind.h"
#include "stored/scan_folder.h"
#include "tools/scan_synth.h"

#include <opencv2/imgcodecs.hpp>

#include <ctime>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

using namespace plantscan::page;
using namespace plantscan::section_batch;
using namespace plantscan::stored;
using namespace plantscan::tools;

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::stoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 2000};
    const fs::path root =
        fs::temp_directory_path() / ("results_page_bench_" + std::to_string(::getpid()));
    constexpr int PAGE_SCANS = 300;
    constexpr int THUMBNAILS = 20;
    const FolderLayout layout = sectionMeasureLayout();

    std::cout << std::fixed << std::setprecision(2);
    for (const int size : sizes) {
        const fs::path out = root / std::to_string(size);
        const fs::path scanFolder = out / "scan_000.jpg";
        fs::create_directories(scanFolder);
        SectionScanParams params;
        params.width = params.height = size;
        params.center = {size / 2.0, size / 2.0};
        params.radius = 0.35 * size;
        const fs::path scan = root / ("scan_" + std::to_string(size) + ".jpg");
        cv::imwrite(scan.string(), makeSectionScan(params));

        const double measureSeconds =
            childCpuSeconds(scanFolder, {SECTION_MEASURE_BINARY, scan.string()});
        writeStatus(scanFolder, {0, fingerprintScan(scan).value_or(ScanFingerprint{})});

        double start = processCpuSeconds();
        for (int i = 0; i < THUMBNAILS; ++i) makeThumbnail(scanFolder, layout.overview);
        const double thumbnailSeconds = (processCpuSeconds() - start) / THUMBNAILS;

        // A batch of PAGE_SCANS scans, all alike but for their name.
        std::vector<std::string> names{"scan_000.jpg"};
        for (int i = 1; i < PAGE_SCANS; ++i) {
            std::string name = std::to_string(i);
            name = "scan_" + std::string(3 - std::min<std::size_t>(3, name.size()), '0') + name +
                   ".jpg";
            names.push_back(name);
            fs::create_directories(out / name);
            for (const char* file : {"res.jpg", "vignette.jpg", "mesures.csv", "statut.txt",
                                     "console.txt", "erreurs.txt"}) {
                fs::create_symlink(scanFolder / file, out / name / file);
            }
        }
        start = processCpuSeconds();
        std::vector<ScanResult> results;
        for (const std::string& name : names)
            results.push_back(readScanFolder(out / name, name, layout));
        const PageContext context{
            "section_batch", TABLE_FILE, true, {{"2026-12-08T06:30:05Z", "2026-12-08T07:30:05Z"}}};
        writeResultsPage(out, sectionResultsPage(results, layout, context));
        const double pageSeconds = processCpuSeconds() - start;
        const double pagePerScan = pageSeconds / PAGE_SCANS;

        std::cout << size << " x " << size << " : mesure " << measureSeconds << " s CPU ; vignette "
                  << thumbnailSeconds * 1000 << " ms (" << 100 * thumbnailSeconds / measureSeconds
                  << " %) ; page de " << PAGE_SCANS << " scans " << pageSeconds * 1000
                  << " ms, soit " << pagePerScan * 1000 << " ms par scan (" << std::setprecision(3)
                  << 100 * pagePerScan / measureSeconds << " %) ; ensemble " << std::setprecision(2)
                  << 100 * (thumbnailSeconds + pagePerScan) / measureSeconds << " % ; page "
                  << fs::file_size(out / RESULTS_PAGE_FILE) / 1024 << " Ko, vignette "
                  << fs::file_size(scanFolder / THUMBNAIL_FILE) / 1024 << " Ko\n";
    }
    fs::remove_all(root);
    return 0;
}
