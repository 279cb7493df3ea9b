// petales.csv, the measurements the single-scan mode leaves in a scan's folder: one row per
// leaflet, numbered as its crop, with the conventions of "mesures.csv" (";", comma decimals,
// UTF-8, CR LF).
#pragma once

#include "plantscan/leaflets.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::leaflet_batch {

inline constexpr const char* LEAFLET_REPORT = "petales.csv";

// The version of the values the single-scan mode writes, recorded beside them: 2 since the
// area and the perimeter come from the line half-way between leaflet and background and the
// calipers, circularity, solidity and colour came; 1 before (pixels counted, pixel steps).
inline constexpr int LEAFLET_VALUES_VERSION = 2;

// A leaflet's value, as a column of the report and of the batch's table.
struct LeafletColumn {
    const char* name;
    double plantscan::Leaflet::*value;
    int decimals;
};

// In the order of the columns. The table has the resolution after the first
// VALUES_BEFORE_RESOLUTION of them, the others having come later.
inline constexpr std::array<LeafletColumn, 11> LEAFLET_COLUMNS{{
    {"Aire (mm²)", &plantscan::Leaflet::area, 2},
    {"Longueur (mm)", &plantscan::Leaflet::length, 2},
    {"Largeur (mm)", &plantscan::Leaflet::width, 2},
    {"Périmètre (mm)", &plantscan::Leaflet::perimeter, 2},
    {"Feret max (mm)", &plantscan::Leaflet::feretMax, 2},
    {"Feret min (mm)", &plantscan::Leaflet::feretMin, 2},
    {"Circularité", &plantscan::Leaflet::circularity, 3},
    {"Solidité", &plantscan::Leaflet::solidity, 3},
    {"L*", &plantscan::Leaflet::lStar, 2},
    {"a*", &plantscan::Leaflet::aStar, 2},
    {"b*", &plantscan::Leaflet::bStar, 2},
}};
inline constexpr std::size_t VALUES_BEFORE_RESOLUTION = 4;
inline constexpr std::size_t LEAFLET_CELLS = LEAFLET_COLUMNS.size();
inline constexpr std::size_t AREA_CELL = 0, LENGTH_CELL = 1, WIDTH_CELL = 2;

// The names of columns [first, end), each followed by ";".
std::string leafletColumnNames(std::size_t first, std::size_t end);

std::string formatLeafletReport(const std::vector<plantscan::Leaflet>& leaflets);

// The value cells of every leaflet, row after row; nothing unless the text is a whole report
// whose rows are numbered 0, 1, 2...
std::optional<std::vector<std::string>> parseLeafletReport(const std::string& text);

}  // namespace plantscan::leaflet_batch
