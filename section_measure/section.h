// What every stage of the section pipeline shares.
#pragma once

#include "section_measure/constants.h"

#include <opencv2/core.hpp>

#include <functional>
#include <stdexcept>
#include <string>

// Writes one image under its file name; the driver decides what a failed write means.
using ImageWriter = std::function<void(const std::string& name, const cv::Mat& image)>;

// No section can be measured on this scan: the run ends with status 1.
struct SectionError : std::runtime_error {
    // A console line is the program's own message, printed as is on standard output;
    // any other message is a cause the driver reports on standard error.
    explicit SectionError(const std::string& message, bool consoleLine = false)
        : std::runtime_error(message), isConsoleLine(consoleLine) {}

    bool isConsoleLine;
};
