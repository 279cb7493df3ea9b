#include "platform/paths.h"

namespace plantscan::platform {

// Names are bytes: the arguments are taken as they come, a path holds the same bytes.
std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::filesystem::path pathFromUtf8(const std::string& name) { return name; }

std::string utf8FromPath(const std::filesystem::path& path) { return path.string(); }

std::string nameUnderFolder(const std::string& name) { return name; }

}  // namespace plantscan::platform
