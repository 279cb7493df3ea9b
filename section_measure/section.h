// What every stage of the section pipeline shares.
#pragma once

#include "image_output/image_file.h"
#include "section_measure/constants.h"

#include <stdexcept>
#include <string>

namespace plantscan::section {

// Why no section can be measured, so that a person can be told in plain words, and what to do.
enum class NoSection {
    NOTHING_TO_SEPARATE,  // the threshold leaves a single class of pixels
    NO_CONTOUR,           // no outer contour large enough away from the border band
    OUTLINE_TOO_SHORT,
    NO_FIVE_CORNERS,
    ARC_TOO_SHORT,  // a corner's or a hollow's arc, for its circle fit
};

// No section can be measured on this scan: the run ends with status 1.
struct SectionError : std::runtime_error {
    // The message is the stages' own detail; a console line is the program's own message,
    // printed as is on standard output.
    SectionError(NoSection why, const std::string& message, bool consoleLine = false)
        : std::runtime_error(message), reason(why), isConsoleLine(consoleLine) {}

    NoSection reason;
    bool isConsoleLine;
};

}  // namespace plantscan::section
