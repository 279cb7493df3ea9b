// A command line as a POSIX shell would take it back, for the run records.
#pragma once

#include <string>
#include <vector>

namespace plantscan::batch {

// The arguments joined by spaces, each quoted when the shell would split or expand it; a line
// break in one is written as bash's $'\n', so that the text stays on one line.
std::string commandLineText(const std::vector<std::string>& arguments);

}  // namespace plantscan::batch
