// This machine and this process, as records and file names show them.
#pragma once

#include <cstddef>
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

// Asks the system to back a large block, not yet written, with large pages where it can (Linux's
// transparent huge pages): an image or per-pixel array filled once then costs a few page faults,
// not thousands. A hint only; nothing on Windows, whose large pages need a privilege.
void adviseLargePages(void* block, std::size_t bytes);

// `time` as UTC calendar fields; false when it cannot be converted.
bool utcFields(std::time_t time, std::tm& fields);

}  // namespace plantscan::platform
