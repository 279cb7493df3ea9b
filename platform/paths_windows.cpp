#include "platform/paths.h"

#include "platform/windows_text.h"

#include <windows.h>
// After windows.h, whose types it takes.
#include <shellapi.h>

#include <cctype>

namespace plantscan::platform {

// From the wide command line: right even where the code page of narrow strings is not UTF-8.
std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(utf8FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

// std::filesystem::path takes a narrow string byte by byte here: UTF-8 must be said.
std::filesystem::path pathFromUtf8(const std::string& name) {
    return std::filesystem::u8path(name);
}

std::string utf8FromPath(const std::filesystem::path& path) { return path.u8string(); }

std::string nameUnderFolder(const std::string& name) {
    const bool drive =
        name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
    return drive ? name.substr(0, 1) + name.substr(2) : name;
}

}  // namespace plantscan::platform
