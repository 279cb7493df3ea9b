// What the library throws. Each message is the one the programs give for the same failure.
#pragma once

#include <stdexcept>
#include <string>

namespace plantscan {

// Every error of the library derives from this one.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// No section can be measured on this scan (section_measure ends with status 1).
struct NoSectionError : Error {
    // Why, for a message in a caller's own words.
    enum class Reason {
        NOTHING_TO_SEPARATE,  // the scan is all dark or all light
        NO_CONTOUR,           // no dark section, whole and away from the edges, on a light ground
        OUTLINE_TOO_SHORT,    // the section found is too small
        NO_FIVE_CORNERS,      // the shape found has no five distinct corners
        ARC_TOO_SHORT,        // a corner or a hollow too narrow for its circle fit
    };
    NoSectionError(Reason why, const std::string& message) : Error(message), reason(why) {}

    Reason reason;
};

// The file could not be read as a scan.
struct UnreadableScanError : Error {
    enum class Cause { MISSING, NOT_AN_IMAGE, TRUNCATED_JPEG };
    UnreadableScanError(const std::string& path, Cause cause);

    std::string path;
    Cause cause;
};

// The scan needs more memory than the process could get.
struct OutOfMemoryError : Error {
    using Error::Error;
};

// OpenCV refused to go on at one of the stages.
struct ImageLibraryError : Error {
    using Error::Error;
};

}  // namespace plantscan
