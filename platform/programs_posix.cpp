#include "platform/programs.h"

#include <unistd.h>

#include <system_error>

extern char** environ;

namespace plantscan::platform {

std::vector<std::string> environmentVariables() {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable)
        variables.emplace_back(*variable);
    return variables;
}

bool setsVariable(const std::string& entry, const std::string& name) {
    return entry.size() > name.size() && entry[name.size()] == '=' &&
           entry.compare(0, name.size(), name) == 0;
}

char pathListSeparator() { return ':'; }

std::filesystem::path pathListFolder(const std::string& entry) {
    return entry.empty() ? std::filesystem::path(".") : std::filesystem::path(entry);
}

bool commandInterpreterSearchesCurrentFolder() { return false; }

std::filesystem::path programFile(const std::string& name) { return name; }

bool isProgramFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace plantscan::platform
