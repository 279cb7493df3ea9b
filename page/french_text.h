// What the batch shows a person, in French, one way each: numbers, times, durations and the
// words for a scan's outcome. The progress line, the summary and the page all take them here.
#pragma once

#include "stored/scan_folder.h"

#include <optional>
#include <string>

namespace plantscan::page {

// At most `digits` significant digits, a decimal comma ("9,87", "1,235e+06"); -0 as "0".
std::string frenchNumber(double value, int digits = 4);

// A cell of the table ("9,87", "1,23457e+06", "-0") as a number; nothing unless the whole
// cell is one finite number.
std::optional<double> parseCell(const std::string& cell);

// "42 s", "3 min 05 s", "1 h 02 min".
std::string frenchDuration(double seconds);

// "08/12/2026 06:30:05" from "2026-12-08T06:30:05Z"; "?" for an empty text, any other text
// as it is.
std::string frenchTime(const std::string& utc);

// What a status of the measuring program means: its own words ("pas de section mesurable"),
// then the batch's: "section_measure n'a pas pu être lancé", "arrêté par le signal 9"...
std::string exitStatusWords(int exitStatus, const stored::FolderLayout& layout);

// A status 0 whose report does not read back whole: "« mesures.csv » absent ou incomplet".
std::string reportMissingWords(const stored::FolderLayout& layout);

// The outcome of a scan as its folder tells it: "mesure complète", "pas de section mesurable
// (statut 1)", "pas de statut (mesure interrompue ou en cours)"...
std::string outcomeWords(const stored::ScanResult& result, const stored::FolderLayout& layout);

// "résolution déclarée : 600 dpi, mesurée comme 1200 dpi", with the height's when it differs.
std::string resolutionWords(const input::StatedResolution& stated, input::Dpi used);

}  // namespace plantscan::page
