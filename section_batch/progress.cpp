#include "section_batch/progress.h"

#include "section_batch/processes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string formatDuration(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    if (total < 60) {
        std::snprintf(text, sizeof text, "%ld s", total);
    } else if (total < 3600) {
        std::snprintf(text, sizeof text, "%ld min %02ld s", total / 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld h %02ld min", total / 3600, total % 3600 / 60);
    }
    return text;
}

std::string progressLine(int done, int total, const std::string& currentScan,
                         double elapsedSeconds) {
    const std::string left =
        done == 0 ? "?" : formatDuration(elapsedSeconds / done * (total - done));
    return std::to_string(done) + "/" + std::to_string(total) + " · " + currentScan + " · écoulé " +
           formatDuration(elapsedSeconds) + " · reste " + left;
}

std::string finishedLine(int done, int total, const std::string& scanName, int exitStatus,
                         bool measured, double seconds) {
    std::string line =
        "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + scanName + " : ";
    if (measured) return line + "mesuré en " + formatDuration(seconds);
    line += "échec, statut " + std::to_string(exitStatus) + " (";
    line +=
        exitStatus == 0 ? "« mesures.csv » absent ou incomplet" : describeExitStatus(exitStatus);
    return line + ")";
}
