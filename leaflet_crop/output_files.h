// The files leaflet_crop leaves in its folder, named once for the stages that write them and the
// batch that reads them.
#pragma once

#include <string>

namespace plantscan::leaflet {

inline constexpr const char* GRAY_FILE = "gray.bmp";
inline constexpr const char* BLACK_AND_WHITE_FILE = "bw.jpg";
// Each leaflet's outline and crop rectangle: the picture that sums a run up.
inline constexpr const char* DRAWING_FILE = "drawing.jpg";
inline constexpr const char* CROPS_FOLDER = "PETALES";

// The crop numbered `index` of the scan named `inputPath`: "PETALES/" + inputPath + "_" + index
// + ".jpg".
std::string cropFileName(const std::string& inputPath, int index);

}  // namespace plantscan::leaflet
