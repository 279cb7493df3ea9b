// The files a run of section_measure leaves in its folder, for those who read that folder (the
// batch): each with what it shows, in the order a person checking a run would look at them.
#pragma once

#include <array>

namespace plantscan::section {

struct OutputFile {
    const char* name;
    const char* shows;  // French, as the program speaks
};

inline constexpr std::array<OutputFile, 10> SECTION_MEASURE_FILES{{
    {"res.jpg", "angles et creux"},
    {"rayonsCourbureAngles.jpg", "rayons des angles"},
    {"rayonsCourbureCreux.jpg", "rayons des creux"},
    {"cercleCirconscrit.jpg", "cercle circonscrit"},
    {"cercleInscrit.jpg", "cercle inscrit"},
    {"grabcut.jpg", "grabCut"},
    {"bw.jpg", "seuil"},
    {"bw2.jpg", "seuil inversé"},
    {"gray.bmp", "gris"},
    {"mesures.csv", "mesures.csv"},
}};

// The table of values among them, and the picture that sums a run up.
inline constexpr const char* SECTION_MEASURE_REPORT = "mesures.csv";
inline constexpr const char* SECTION_MEASURE_OVERVIEW = "res.jpg";

}  // namespace plantscan::section
