#include "batch/progress.h"

#include "page/french_text.h"

namespace plantscan::batch {

std::string progressLine(int done, int total, const std::string& currentScan,
                         double elapsedSeconds) {
    const std::string left =
        done == 0 ? "?" : page::frenchDuration(elapsedSeconds / done * (total - done));
    return std::to_string(done) + "/" + std::to_string(total) + " · " + currentScan + " · écoulé " +
           page::frenchDuration(elapsedSeconds) + " · reste " + left;
}

std::string finishedLine(int done, int total, const std::string& scanName, int exitStatus,
                         bool measured, double seconds, const stored::FolderLayout& layout) {
    std::string line =
        "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + scanName + " : ";
    if (measured) return line + "mesuré en " + page::frenchDuration(seconds);
    line += "échec, statut " + std::to_string(exitStatus) + " (";
    line += exitStatus == 0 ? page::reportMissingWords(layout)
                            : page::exitStatusWords(exitStatus, layout);
    return line + ")";
}

}  // namespace plantscan::batch
