#include "plant_scan_tools/version.h"
#include "plantscan/plantscan.h"

namespace plantscan {

const char* version() { return PLANT_SCAN_TOOLS_VERSION; }

}  // namespace plantscan
