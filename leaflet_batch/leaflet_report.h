// petales.csv, the measurements the single-scan mode leaves in a scan's folder: one row per
// leaflet, numbered as its crop, with the conventions of "mesures.csv" (";", comma decimals,
// two decimals, UTF-8, CR LF).
#pragma once

#include "plantscan/leaflets.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::leaflet_batch {

inline constexpr const char* LEAFLET_REPORT = "petales.csv";
// A leaflet's values, in the report and in the batch's table.
inline constexpr const char* LEAFLET_COLUMNS =
    "Aire (mm²);Longueur (mm);Largeur (mm);Périmètre (mm)";
inline constexpr std::size_t LEAFLET_CELLS = 4;
inline constexpr std::size_t AREA_CELL = 0, LENGTH_CELL = 1, WIDTH_CELL = 2;

std::string formatLeafletReport(const std::vector<plantscan::Leaflet>& leaflets);

// The value cells of every leaflet, row after row; nothing unless the text is a whole report
// whose rows are numbered 0, 1, 2...
std::optional<std::vector<std::string>> parseLeafletReport(const std::string& text);

}  // namespace plantscan::leaflet_batch
