// section_batch SCANS [OUT]: measures every scan of a folder with section_measure, several at
// once, and gathers their values into OUT/toutes_mesures.csv (see helpText for the details).
#include "platform/paths.h"
#include "section_batch/section_kind.h"

#include <string>
#include <vector>

namespace plantscan::section_batch {

namespace {

int run(int argc, char** argv) {
    return batch::runBatchProgram(platform::commandLineArguments(argc, argv), sectionBatch());
}

}  // namespace

}  // namespace plantscan::section_batch

int main(int argc, char** argv) { return plantscan::section_batch::run(argc, argv); }
