// leaflet_batch --une-image SCAN [--dpi N]: one scan cropped and measured in the current folder,
// as the batch runs it in each scan's folder. It writes, byte for byte, what a lone
// `leaflet_crop <name of SCAN>` writes there (gray.bmp, bw.jpg, PETALES/<name>_<n>.jpg,
// drawing.jpg), then petales.csv, dpi.txt and emplacements.txt; it does not run update.bat
// (the batch has).
#pragma once

#include <string>
#include <vector>

namespace plantscan::leaflet_batch {

inline constexpr const char* SINGLE_SCAN_OPTION = "--une-image";
inline constexpr const char* DPI_FILE = "dpi.txt";
// Where each leaflet lies in the scan: its number on the page's thumbnail, and the flag of a
// "leaflet" that is no leaflet.
inline constexpr const char* PLACES_FILE = "emplacements.txt";

enum SingleScanStatus { CROPPED = 0, UNREADABLE = 2, WRITE_FAILED = 3, FAILED = 4 };

// `arguments`: those after SINGLE_SCAN_OPTION. Messages go to standard error, in French.
int cropAndMeasureScan(const std::vector<std::string>& arguments);

}  // namespace plantscan::leaflet_batch
