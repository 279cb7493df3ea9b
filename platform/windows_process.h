// Starting a program on Windows: its command line, its environment, the handles it inherits
// (Windows only; section_batch's processes_windows.cpp and the test support use it).
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::platform {

// One argument quoted so that the C runtime's parser (and CommandLineToArgvW) gives it back
// exactly: spaces, quotes, backslashes before a quote.
std::wstring quotedArgument(const std::wstring& argument);

// What a child is started with. The handles are inherited, and only they; none may be null.
struct ChildSetup {
    std::filesystem::path program;
    std::string commandName;             // its name in the command line; empty: the program's path
    std::vector<std::string> arguments;  // after the program's name, UTF-8
    std::filesystem::path folder;        // where it runs; empty: here
    std::vector<std::string> environment;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    HANDLE errors = nullptr;
    HANDLE job = nullptr;         // a job object to put it in before it runs, or none
    bool withoutConsole = false;  // a console of its own, hidden, rather than ours
};

struct StartedChild {
    PROCESS_INFORMATION process;  // its process and thread handles, for the caller to close
    bool inJob;                   // false: the system refused to put it in setup.job
};

// Nothing when it could not be started (GetLastError says why). A child the system refuses to
// put in the job runs all the same.
std::optional<StartedChild> startChild(const ChildSetup& setup);

// A handle to a file opened for the child to write (created or emptied) or read, inheritable.
HANDLE openInheritable(const std::filesystem::path& file, bool forWriting);

}  // namespace plantscan::platform
