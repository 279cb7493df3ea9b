#include "platform/launch.h"

#include <cstdlib>

namespace plantscan::platform {

// A terminal program here is always started from a shell that stays.
bool ownsItsConsoleAlone() { return false; }

std::optional<std::filesystem::path> pickFolder(const std::string&) { return std::nullopt; }

bool openWithDefaultProgram(const std::filesystem::path&) { return false; }

std::filesystem::path documentsFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return {};
    return std::filesystem::path(home) / "Documents";
}

}  // namespace plantscan::platform
