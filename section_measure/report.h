#pragma once

#include "section_measure/measurements.h"
#include "section_measure/output_files.h"

#include <string>

namespace plantscan::section {

// `value` rounded to `decimals` places (halves away from zero), written as %g with six
// significant digits and a comma as decimal separator.
std::string formatDecimal(double value, int decimals);

std::string replaceDotsWithCommas(std::string text);

// The whole table of "mesures.csv": semicolons, comma decimals, CR LF line ends.
std::string formatMeasurementReport(const SectionMeasurements& measurements);

// Writes the table into `path`, "mesures.csv" in the current directory by default; false when it
// could not be opened, written or closed (a file that could not be opened keeps its old content).
bool writeMeasurementReport(const SectionMeasurements& measurements,
                            const std::string& path = REPORT_FILE);

}  // namespace plantscan::section
