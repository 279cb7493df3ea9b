// leaflet_batch SCANS [OUT]: crops every leaflet of every scan of a folder, several scans at
// once, measures each leaflet and gathers them into OUT/tous_petales.csv (see the help text).
#include "leaflet_batch/leaflet_kind.h"
#include "leaflet_batch/one_scan.h"
#include "platform/paths.h"

#include <string>
#include <vector>

namespace plantscan::leaflet_batch {

namespace {

int run(int argc, char** argv) {
    const std::vector<std::string> words = platform::commandLineArguments(argc, argv);
    if (words.size() > 1 && words[1] == SINGLE_SCAN_OPTION)
        return cropAndMeasureScan(std::vector<std::string>(words.begin() + 2, words.end()));
    return batch::runBatchProgram(words, leafletBatch());
}

}  // namespace

}  // namespace plantscan::leaflet_batch

int main(int argc, char** argv) { return plantscan::leaflet_batch::run(argc, argv); }
