// The lines that tell how far a batch has got.
#pragma once

#include <string>

// "42 s", "3 min 05 s", "1 h 02 min".
std::string formatDuration(double seconds);

// done/total, current scan, elapsed time, and the time left estimated from the pace so far
// ("?" before the first scan ends).
std::string progressLine(int done, int total, const std::string& currentScan,
                         double elapsedSeconds);

// One finished scan, for a log: its rank, name, outcome and duration.
std::string finishedLine(int done, int total, const std::string& scanName, int exitStatus,
                         bool measured, double seconds);
