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
    using Error::Error;
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
