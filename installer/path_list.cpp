#include "installer/path_list.h"

#include <algorithm>
#include <cwctype>
#include <vector>

namespace plantscan::installer {

namespace {

// The entries as written, separators apart; a quoted entry may hold a ";".
std::vector<std::wstring> entries(const std::wstring& path) {
    std::vector<std::wstring> found(1);
    bool quoted = false;
    for (const wchar_t c : path) {
        if (c == L'"') quoted = !quoted;
        if (c == L';' && !quoted) {
            found.emplace_back();
        } else {
            found.back() += c;
        }
    }
    return found;
}

std::wstring comparable(std::wstring entry) {
    entry.erase(std::remove(entry.begin(), entry.end(), L'"'), entry.end());
    while (!entry.empty() && (entry.back() == L'\\' || entry.back() == L'/')) entry.pop_back();
    for (wchar_t& c : entry) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return entry;
}

bool names(const std::wstring& entry, const std::wstring& folder) {
    return !comparable(folder).empty() && comparable(entry) == comparable(folder);
}

std::wstring joined(const std::vector<std::wstring>& parts) {
    std::wstring path;
    for (std::size_t i = 0; i < parts.size(); ++i) path += (i == 0 ? L"" : L";") + parts[i];
    return path;
}

}  // namespace

std::wstring withFolder(const std::wstring& path, const std::wstring& folder) {
    const std::vector<std::wstring> parts = entries(path);
    if (std::any_of(parts.begin(), parts.end(),
                    [&folder](const std::wstring& entry) { return names(entry, folder); })) {
        return path;
    }
    const std::wstring entry =
        folder.find(L';') == std::wstring::npos ? folder : L"\"" + folder + L"\"";
    if (path.empty()) return entry;
    return path + (path.back() == L';' ? L"" : L";") + entry;
}

std::wstring withoutFolder(const std::wstring& path, const std::wstring& folder) {
    std::vector<std::wstring> parts = entries(path);
    const auto kept = std::remove_if(parts.begin(), parts.end(),
                                     [&folder](const std::wstring& e) { return names(e, folder); });
    if (kept == parts.end()) return path;
    parts.erase(kept, parts.end());
    return joined(parts);
}

}  // namespace plantscan::installer
