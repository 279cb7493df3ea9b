// What a run of section_measure leaves, named once for the stages that write it and those who
// read its folder (the batch): its files, each with what it shows, and its exit statuses.
#pragma once

#include <array>

namespace plantscan::section {

inline constexpr const char* OVERVIEW_FILE = "res.jpg";
inline constexpr const char* CORNER_RADII_FILE = "rayonsCourbureAngles.jpg";
inline constexpr const char* HOLLOW_RADII_FILE = "rayonsCourbureCreux.jpg";
inline constexpr const char* CIRCUMSCRIBED_FILE = "cercleCirconscrit.jpg";
inline constexpr const char* INSCRIBED_FILE = "cercleInscrit.jpg";
inline constexpr const char* GRABCUT_FILE = "grabcut.jpg";
inline constexpr const char* THRESHOLD_FILE = "bw.jpg";
inline constexpr const char* INVERTED_THRESHOLD_FILE = "bw2.jpg";
inline constexpr const char* GRAY_FILE = "gray.bmp";
// The table of values.
inline constexpr const char* REPORT_FILE = "mesures.csv";

struct OutputFile {
    const char* name;
    const char* shows;  // French, as the program speaks
};

inline constexpr std::array<OutputFile, 10> SECTION_MEASURE_FILES{{
    {OVERVIEW_FILE, "angles et creux"},
    {CORNER_RADII_FILE, "rayons des angles"},
    {HOLLOW_RADII_FILE, "rayons des creux"},
    {CIRCUMSCRIBED_FILE, "cercle circonscrit"},
    {INSCRIBED_FILE, "cercle inscrit"},
    {GRABCUT_FILE, "grabCut"},
    {THRESHOLD_FILE, "seuil"},
    {INVERTED_THRESHOLD_FILE, "seuil inversé"},
    {GRAY_FILE, "gris"},
    {REPORT_FILE, REPORT_FILE},
}};

// How a run ends, and what each status means, in French, as the batch says it.
enum ExitStatus { COMPLETE = 0, NOT_MEASURABLE = 1, BAD_INPUT = 2, WRITE_FAILED = 3, FAILED = 4 };

struct StatusMeaning {
    ExitStatus status;
    const char* words;
};

inline constexpr std::array<StatusMeaning, 5> SECTION_MEASURE_STATUSES{{
    {COMPLETE, "mesure complète"},
    {NOT_MEASURABLE, "pas de section mesurable"},
    {BAD_INPUT, "image absente ou illisible"},
    {WRITE_FAILED, "un fichier n'a pas pu être écrit"},
    {FAILED, "erreur d'OpenCV ou mémoire épuisée"},
}};

}  // namespace plantscan::section
