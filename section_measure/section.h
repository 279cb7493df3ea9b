// What every stage of the section pipeline shares.
#pragma once

#include "image_output/image_file.h"
#include "section_measure/constants.h"

#include <stdexcept>
#include <string>

namespace plantscan::section {

// No section can be measured on this scan: the run ends with status 1.
struct SectionError : std::runtime_error {
    // A console line is the program's own message, printed as is on standard output;
    // any other message is a cause the driver reports on standard error.
    explicit SectionError(const std::string& message, bool consoleLine = false)
        : std::runtime_error(message), isConsoleLine(consoleLine) {}

    bool isConsoleLine;
};

}  // namespace plantscan::section
