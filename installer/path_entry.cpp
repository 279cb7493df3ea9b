// path_entry add|remove FOLDER: puts FOLDER at the end of the machine's PATH, or takes it out,
// and tells the running programs (Explorer, so that a new cmd or PowerShell sees it). The
// installer's hands for the PATH: it reads and writes a PATH of any length, where the
// installer's own strings stop at 1024 characters. Exit status 0, or 1 with the reason on
// standard error.
#include "installer/path_list.h"

#include <windows.h>

#include <iostream>
#include <string>

namespace plantscan::installer {

namespace {

constexpr const wchar_t* ENVIRONMENT_KEY =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

int fail(const char* what, LSTATUS error) {
    std::cerr << "path_entry: " << what << " (error " << error << ")" << std::endl;
    return 1;
}

}  // namespace

namespace {

int run(int argc, wchar_t** argv) {
    const std::wstring action = argc == 3 ? argv[1] : L"";
    if (action != L"add" && action != L"remove") {
        std::cerr << "usage: path_entry add|remove FOLDER" << std::endl;
        return 1;
    }
    HKEY key = nullptr;
    LSTATUS error = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, ENVIRONMENT_KEY, 0,
                                    KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (error != ERROR_SUCCESS) return fail("cannot open the environment's key", error);
    // As stored: its %VARIABLES% stay unexpanded, and its type too.
    DWORD type = REG_EXPAND_SZ;
    DWORD bytes = 0;
    error = ::RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &bytes);
    std::wstring path;
    if (error == ERROR_SUCCESS && bytes > 0) {
        path.resize(bytes / sizeof(wchar_t));
        error = ::RegQueryValueExW(key, L"Path", nullptr, &type,
                                   reinterpret_cast<BYTE*>(path.data()), &bytes);
        path.resize(bytes / sizeof(wchar_t));
        while (!path.empty() && path.back() == L'\0') path.pop_back();
    }
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        ::RegCloseKey(key);
        return fail("cannot read the PATH", error);
    }
    if (type != REG_SZ) type = REG_EXPAND_SZ;
    const std::wstring changed =
        action == L"add" ? withFolder(path, argv[2]) : withoutFolder(path, argv[2]);
    if (changed != path) {
        error =
            ::RegSetValueExW(key, L"Path", 0, type, reinterpret_cast<const BYTE*>(changed.c_str()),
                             static_cast<DWORD>((changed.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
    if (error != ERROR_SUCCESS) return fail("cannot write the PATH", error);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                          reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000,
                          &ignored);
    return 0;
}

}  // namespace

}  // namespace plantscan::installer

int wmain(int argc, wchar_t** argv) { return plantscan::installer::run(argc, argv); }
