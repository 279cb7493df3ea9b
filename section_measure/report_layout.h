// The lines of "mesures.csv": what its writer puts, what the batch reads back, and the columns
// they become in the batch's table.
#pragma once

#include "section_measure/constants.h"

#include <array>
#include <cstddef>

namespace plantscan::section {

// The first line.
inline constexpr const char* REPORT_HEADER =
    "Mesure;Angle/creux 1;Angle/creux 2;Angle/creux 3;Angle/creux 4;Angle/creux 5";

// Each later line: its first cell and how many value cells follow. A line of LOBE_COUNT values
// ends each with ";", so it has one more, empty, cell; a single value ends the line.
// In the batch's table each value is a column, named `column` for a single value, or `column`,
// the value's number (from 1) and `columnEnd` for a line of LOBE_COUNT.
struct ReportLine {
    const char* label;
    int values;
    const char* column;
    const char* columnEnd;
};

// The double spaces are part of the labels as they have always been written; do not tidy them.
inline constexpr std::array<ReportLine, 8> REPORT_LINES{{
    {"Rayon de courbure de l'angle (mm)", LOBE_COUNT, "Rayon de courbure de l'angle ", " (mm)"},
    {"Rayon de courbure du creux (mm)", LOBE_COUNT, "Rayon de courbure du creux ", " (mm)"},
    {"Profondeur du creux (mm)", LOBE_COUNT, "Profondeur du creux ", " (mm)"},
    {"Distance du creux avec le cercle circonscrit (mm)", LOBE_COUNT, "Distance du creux ",
     " avec le cercle circonscrit (mm)"},
    {"Ratio de la  distance du creux  avec le cercle circonscrit avec le rayon du cercle (%)",
     LOBE_COUNT, "Ratio de la distance du creux ", " avec le rayon du cercle circonscrit (%)"},
    {"Largeur primocanne  (mm) : ", 1, "Largeur primocanne (mm)", ""},
    {"Diamètre cercle circonscrit  (mm) : ", 1, "Diamètre cercle circonscrit (mm)", ""},
    {"Diamètre cercle inscrit  (mm) : ", 1, "Diamètre cercle inscrit (mm)", ""},
}};

// The lines by what they hold, for the readers that pick some of them.
enum ReportLineIndex : std::size_t {
    ANGLE_RADII,
    HOLLOW_RADII,
    HOLLOW_DEPTHS,
    HOLLOW_DISTANCES,
    HOLLOW_RATIOS,
    SECTION_WIDTH,
    CIRCUMSCRIBED_DIAMETER,
    INSCRIBED_DIAMETER,
};

// The position of a line's first value among all the values of the report, in file order.
constexpr int firstReportCell(std::size_t line) {
    int cell = 0;
    for (std::size_t i = 0; i < line; ++i) cell += REPORT_LINES[i].values;
    return cell;
}

inline constexpr int REPORT_CELLS = firstReportCell(REPORT_LINES.size());

}  // namespace plantscan::section
