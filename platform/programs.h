// Programs as the system finds and starts them: the environment a child inherits, the folders of
// the PATH and what a program's file is. The batch's one search and one child environment are
// built on these.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plantscan::platform {

// This process's environment, "NAME=value" in UTF-8.
std::vector<std::string> environmentVariables();

// Whether the entry sets this variable; Windows compares names without case, as it does.
bool setsVariable(const std::string& entry, const std::string& name);

// What separates the folders of a PATH: ':' on POSIX, ';' on Windows.
char pathListSeparator();

// One entry of a PATH as a folder: an empty entry is the current folder; on Windows cmd may
// quote an entry holding a ';'.
std::filesystem::path pathListFolder(const std::string& entry);

// Whether the command interpreter (cmd.exe, sh) looks for a command in the current folder before
// the PATH: on Windows it does, on POSIX only an empty PATH entry is the current folder.
bool commandInterpreterSearchesCurrentFolder();

// The file of the program `name` ("name", or "name.exe" on Windows).
std::filesystem::path programFile(const std::string& name);

// A file the system would run: on POSIX an executable regular file, on Windows a regular file.
bool isProgramFile(const std::filesystem::path& path);

}  // namespace plantscan::platform
