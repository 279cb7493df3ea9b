// File names as the programs hold them, UTF-8 strings, and as the system takes them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plantscan::platform {

// The program's arguments, argv[0] first, in UTF-8 whatever the system's code page.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// A UTF-8 file name as a path, and a path as UTF-8, for any character the system allows.
std::filesystem::path pathFromUtf8(const std::string& name);
std::string utf8FromPath(const std::filesystem::path& path);

// The name made into one that can stand under a folder: "PETALES/" + name. A Windows drive
// ("C:") cannot, and loses its colon ("C"); names elsewhere are kept as they are.
std::string nameUnderFolder(const std::string& name);

}  // namespace plantscan::platform
