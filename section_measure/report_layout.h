// The lines of "mesures.csv": what its writer puts and what the batch reads back.
#pragma once

#include "section_measure/constants.h"

#include <array>

// The first line.
inline constexpr const char* REPORT_HEADER =
    "Mesure;Angle/creux 1;Angle/creux 2;Angle/creux 3;Angle/creux 4;Angle/creux 5";

// Each later line: its first cell and how many value cells follow. A line of LOBE_COUNT values
// ends each with ";", so it has one more, empty, cell; a single value ends the line.
struct ReportLine {
    const char* label;
    int values;
};

// The double spaces are part of the labels as they have always been written; do not tidy them.
inline constexpr std::array<ReportLine, 8> REPORT_LINES{{
    {"Rayon de courbure de l'angle (mm)", LOBE_COUNT},
    {"Rayon de courbure du creux (mm)", LOBE_COUNT},
    {"Profondeur du creux (mm)", LOBE_COUNT},
    {"Distance du creux avec le cercle circonscrit (mm)", LOBE_COUNT},
    {"Ratio de la  distance du creux  avec le cercle circonscrit avec le rayon du cercle (%)",
     LOBE_COUNT},
    {"Largeur primocanne  (mm) : ", 1},
    {"Diamètre cercle circonscrit  (mm) : ", 1},
    {"Diamètre cercle inscrit  (mm) : ", 1},
}};
