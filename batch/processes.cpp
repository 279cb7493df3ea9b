#include "batch/processes.h"

#include "platform/programs.h"
#include "resources/memory_need.h"

namespace plantscan::batch {

namespace fs = std::filesystem;

std::optional<fs::path> findProgram(const std::string& name, const fs::path& ownFolder,
                                    const std::string& pathVariable) {
    const fs::path file = platform::programFile(name);
    if (platform::isProgramFile(ownFolder / file)) return fs::absolute(ownFolder / file);
    const char separator = platform::pathListSeparator();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = pathVariable.find(separator, start);
        const fs::path candidate =
            platform::pathListFolder(pathVariable.substr(start, end - start)) / file;
        if (platform::isProgramFile(candidate)) return fs::absolute(candidate);
        if (end == std::string::npos) return std::nullopt;
        start = end + 1;
    }
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
