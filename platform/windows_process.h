// Starting a program on Windows: its command line, its environment, the handles it inherits
// (Windows only; the test support's run_program_windows.cpp uses it).
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// One argument quoted so that the C runtime's parser (and CommandLineToArgvW) gives it back
// exactly: spaces, quotes, backslashes before a quote.
std::wstring quotedArgument(const std::wstring& argument);

// This process's environment, "NAME=value" in UTF-8.
std::vector<std::string> environmentVariables();

// Whether the entry sets this variable; names compare without case, as Windows does.
bool setsVariable(const std::string& entry, const std::string& name);

// What a child is started with. The handles are inherited, and only they; none may be null.
struct ChildSetup {
    std::filesystem::path program;
    std::vector<std::string> arguments;  // after the program's name, UTF-8
    std::filesystem::path folder;        // where it runs; empty: here
    std::vector<std::string> environment;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    HANDLE errors = nullptr;
    HANDLE job = nullptr;  // a job object to put it in before it runs, or none
};

// Its process and thread handles, for the caller to close; nothing when it could not be
// started (GetLastError says why).
std::optional<PROCESS_INFORMATION> startChild(const ChildSetup& setup);

// A handle to a file opened for the child to write (created or emptied) or read, inheritable.
HANDLE openInheritable(const std::filesystem::path& file, bool forWriting);
