// This machine and this process, as records and file names show them.
#pragma once

#include <ctime>
#include <string>

namespace plantscan::platform {

// The machine's name ("node12"); empty when the system does not say.
std::string hostName();

// This process's id.
long processId();

// Lets the calling thread run mostly where the process's other threads leave a core idle:
// for work that can wait, such as writing files while the measuring goes on. A hint only.
void yieldCoresToOtherThreads();

// `time` as UTC calendar fields; false when it cannot be converted.
bool utcFields(std::time_t time, std::tm& fields);

}  // namespace plantscan::platform
