// The lines that tell how far a batch has got.
#pragma once

#include "stored/scan_folder.h"

#include <string>

namespace plantscan::batch {

// done/total, current scan, elapsed time, and the time left estimated from the pace so far
// ("?" before the first scan ends).
std::string progressLine(int done, int total, const std::string& currentScan,
                         double elapsedSeconds);

// One finished scan, for a log: its rank, name, outcome and duration.
std::string finishedLine(int done, int total, const std::string& scanName, int exitStatus,
                         bool measured, double seconds, const stored::FolderLayout& layout);

}  // namespace plantscan::batch
