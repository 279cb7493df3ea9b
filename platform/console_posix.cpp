#include "platform/console.h"

#include <unistd.h>

namespace plantscan::platform {

// A terminal takes the bytes as they are; the locale says how to show them.
void showUtf8OnConsole() {}

bool errorOutputRedrawsLines() { return ::isatty(STDERR_FILENO) != 0; }

}  // namespace plantscan::platform
