// What a program started from the desktop (Explorer, the Start menu, a folder dropped onto it)
// needs of the system: whether it has a console window of its own, the system's folder picker,
// the default program for a page, the user's Documents.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace plantscan::platform {

// Whether this process owns its console alone and reads and writes it: started from Explorer
// (double-clicked, a folder dropped onto it), not from a console someone opened, and never when
// its input or output is a file or a pipe. POSIX: never.
bool ownsItsConsoleAlone();

// The system's folder picker, titled `title`; nothing when the user cancels or there is none
// (POSIX).
std::optional<std::filesystem::path> pickFolder(const std::string& title);

// Asks the system to open `file` with its default program (a page in the browser), without
// waiting for it; false when that cannot be done (POSIX: never done).
bool openWithDefaultProgram(const std::filesystem::path& file);

// The user's Documents folder; empty when the system does not say.
std::filesystem::path documentsFolder();

}  // namespace plantscan::platform
