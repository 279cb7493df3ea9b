// Where a program's images live: large ones on large pages where the system has them.
#pragma once

namespace plantscan::input {

// From now on, every cv::Mat of at least a few megabytes (the scan as decoded, its masks, the
// drawings) asks for large pages before it is first written (platform::adviseLargePages): its
// first touch then costs a few page faults, not thousands. The images' bytes are as before.
// For a program's whole run: OpenCV's default allocator is the process's, not the library's to
// change for its callers.
void backImagesWithLargePages();

}  // namespace plantscan::input
