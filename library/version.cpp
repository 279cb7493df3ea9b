#include "plant_scan_tools/version.h"
#include "library/version_line.h"
#include "plantscan/plantscan.h"

#include <opencv2/core/utility.hpp>

namespace plantscan {

const char* version() { return PLANT_SCAN_TOOLS_VERSION; }

std::string detail::versionLine(const std::string& program) {
    return program + " " PLANT_SCAN_TOOLS_VERSION " (OpenCV " + cv::getVersionString() + ")\n";
}

}  // namespace plantscan
