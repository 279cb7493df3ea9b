// The measurements of section_measure and leaflet_crop as a library: link PlantScanTools::plantscan
// (CMake) or plantscan (pkg-config).
#pragma once

#include "plantscan/errors.h"
#include "plantscan/leaflets.h"
#include "plantscan/outputs.h"
#include "plantscan/scan.h"
#include "plantscan/section.h"

namespace plantscan {

// The project's version, as the programs give it ("1.0.0").
const char* version();

}  // namespace plantscan
