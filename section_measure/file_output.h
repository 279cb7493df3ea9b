// The run's files in the current folder: a file that cannot be written is named on `errors`
// with its cause, and the run goes on.
#pragma once

#include "section_measure/measurements.h"
#include "section_measure/section.h"

#include <ostream>
#include <string>
#include <system_error>

namespace plantscan::section {

// Names `name` and the cause on `errors` (`encoderMessage`, OpenCV's, when there is no system
// error), and sets `failed`.
void reportWriteFailure(const std::string& name, const std::error_code& error,
                        const std::string& encoderMessage, bool& failed, std::ostream& errors);

// Writes each image with cv::imwrite under its name; a failure is reported as above.
output::ImageWriter imageFileWriter(bool& failed, std::ostream& errors);

// Writes "mesures.csv"; a failure is reported as above.
void writeReportFile(const SectionMeasurements& measurements, bool& failed, std::ostream& errors);

}  // namespace plantscan::section
