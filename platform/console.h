// What a console shows of the programs' messages, which are UTF-8 on every system.
#pragma once

namespace plantscan::platform {

// Until the program ends, a console shows this program's UTF-8 output as such (Windows: what
// std::cout, std::cerr and std::clog write to a console goes through its wide API, whatever the
// C runtime would make of it; the console's output code page is switched to UTF-8 for its
// children, and back at exit or on Ctrl-C). Output to a file or a pipe is left alone: the same
// bytes as on Linux.
void showUtf8OnConsole();

// Whether standard error is a terminal that can redraw a line in place ("\r", then "\x1b[K" to
// clear it), as the batch's progress line does; on Windows the console is told to read those
// escapes, until the program ends.
bool errorOutputRedrawsLines();

}  // namespace plantscan::platform
