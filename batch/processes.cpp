#include "batch/processes.h"

#include "platform/paths.h"
#include "platform/programs.h"
#include "resources/memory_need.h"

#include <system_error>

namespace plantscan::batch {

namespace fs = std::filesystem;

namespace {

// The first folder of the PATH holding `file` as `isFound` would have it.
std::optional<fs::path> findAlongPath(const fs::path& file, const std::string& pathVariable,
                                      bool (*isFound)(const fs::path&)) {
    const char separator = platform::pathListSeparator();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = pathVariable.find(separator, start);
        const fs::path candidate =
            platform::pathListFolder(pathVariable.substr(start, end - start)) / file;
        if (isFound(candidate)) return fs::absolute(candidate);
        if (end == std::string::npos) return std::nullopt;
        start = end + 1;
    }
}

bool isRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace

std::optional<fs::path> findProgram(const std::string& name, const fs::path& ownFolder,
                                    const std::string& pathVariable) {
    const fs::path file = platform::programFile(name);
    if (platform::isProgramFile(ownFolder / file)) return fs::absolute(ownFolder / file);
    return findAlongPath(file, pathVariable, platform::isProgramFile);
}

bool commandInterpreterFinds(const std::string& command) {
    std::optional<std::string> path;
    for (const std::string& variable : platform::environmentVariables()) {
        if (platform::setsVariable(variable, "PATH")) path = variable.substr(5);
    }
    // Without a PATH, the interpreter searches a default of its own.
    if (!path) return true;
    const fs::path file = platform::pathFromUtf8(command);
    if (platform::commandInterpreterSearchesCurrentFolder() && isRegularFile(file)) return true;
    // A file it may not run is still found: the interpreter says so itself.
    return findAlongPath(file, *path, isRegularFile).has_value();
}

std::vector<std::string> childEnvironment(const std::vector<std::string>& inherited,
                                          const ChildShare& share) {
    std::vector<std::string> variables;
    for (const std::string& variable : inherited) {
        const bool replaced =
            platform::setsVariable(variable, resources::MEMORY_SHARE_VARIABLE) ||
            platform::setsVariable(variable, resources::OLDER_MEMORY_SHARE_VARIABLE) ||
            (share.threads && platform::setsVariable(variable, THREADS_VARIABLE));
        if (!replaced) variables.push_back(variable);
    }
    if (share.memory)
        variables.push_back(std::string(resources::MEMORY_SHARE_VARIABLE) + "=" +
                            std::to_string(*share.memory));
    if (share.threads)
        variables.push_back(std::string(THREADS_VARIABLE) + "=" + std::to_string(*share.threads));
    return variables;
}

}  // namespace plantscan::batch
