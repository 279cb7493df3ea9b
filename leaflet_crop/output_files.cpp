#include "leaflet_crop/output_files.h"

#include <sstream>

namespace plantscan::leaflet {

std::string cropFileName(const std::string& inputPath, int index) {
    std::ostringstream name;
    name << CROPS_FOLDER << "/" << inputPath << "_" << index << ".jpg";
    return name.str();
}

}  // namespace plantscan::leaflet
