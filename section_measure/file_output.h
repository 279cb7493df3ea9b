// The run's files in the current folder: a file that cannot be written is named on `errors`
// with its cause, and the run goes on.
#pragma once

#include "section_measure/measurements.h"
#include "section_measure/section.h"

#include <ostream>
#include <string>

namespace plantscan::section {

// The cause of a failed write, from its errno, in the program's words.
std::string describeWriteFailure(int error);

// Names `name` and the cause on `errors`, and sets `failed`.
void reportWriteFailure(const std::string& name, int error, bool& failed, std::ostream& errors);

// Writes each image with cv::imwrite under its name; a failure is reported as above.
output::ImageWriter imageFileWriter(bool& failed, std::ostream& errors);

// Writes "mesures.csv"; a failure is reported as above.
void writeReportFile(const SectionMeasurements& measurements, bool& failed, std::ostream& errors);

}  // namespace plantscan::section
