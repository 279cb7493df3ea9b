// The line every program gives for --version: "section_batch 1.0.0 (OpenCV 4.6.0)".
#pragma once

#include <string>

namespace plantscan::detail {

// `program`, the project's version and OpenCV's, and a line break.
std::string versionLine(const std::string& program);

}  // namespace plantscan::detail
