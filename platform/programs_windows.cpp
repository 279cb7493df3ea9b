#include "platform/programs.h"

#include "platform/windows_text.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <system_error>

namespace plantscan::platform {

std::vector<std::string> environmentVariables() {
    std::vector<std::string> variables;
    wchar_t* block = ::GetEnvironmentStringsW();
    if (block == nullptr) return variables;
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        // Entries such as "=C:=C:\work" are cmd's current folders per drive: kept as they are.
        variables.push_back(utf8FromWide(entry));
    }
    ::FreeEnvironmentStringsW(block);
    return variables;
}

bool setsVariable(const std::string& entry, const std::string& name) {
    if (entry.size() <= name.size() || entry[name.size()] != '=') return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::towupper(static_cast<unsigned char>(entry[i])) !=
            std::towupper(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

char pathListSeparator() { return ';'; }

std::filesystem::path pathListFolder(const std::string& entry) {
    std::string folder = entry;
    folder.erase(std::remove(folder.begin(), folder.end(), '"'), folder.end());
    return folder.empty() ? std::filesystem::path(".") : std::filesystem::u8path(folder);
}

bool commandInterpreterSearchesCurrentFolder() { return true; }

std::filesystem::path programFile(const std::string& name) {
    return std::filesystem::u8path(name + ".exe");
}

bool isProgramFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace plantscan::platform
