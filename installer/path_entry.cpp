// path_entry add|remove user|machine FOLDER: puts FOLDER at the end of the user's PATH
// (HKCU\Environment) or the machine's, or takes it out, and tells the running programs (Explorer,
// so that a new cmd or PowerShell sees it). The installer's hands for the PATH: it reads and
// writes a PATH of any length, where the installer's own strings stop at 1024 characters. A
// user's PATH left empty is removed, as it was before the first install. Exit status 0, or 1
// with the reason on standard error.
#include "installer/path_list.h"

#include <windows.h>

#include <iostream>
#include <string>

namespace plantscan::installer {

namespace {

constexpr const wchar_t* MACHINE_ENVIRONMENT_KEY =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr const wchar_t* USER_ENVIRONMENT_KEY = L"Environment";

int fail(const char* what, LSTATUS error) {
    std::cerr << "path_entry: " << what << " (error " << error << ")" << std::endl;
    return 1;
}

}  // namespace

namespace {

int run(int argc, wchar_t** argv) {
    const std::wstring action = argc == 4 ? argv[1] : L"";
    const std::wstring scope = argc == 4 ? argv[2] : L"";
    if ((action != L"add" && action != L"remove") || (scope != L"user" && scope != L"machine")) {
        std::cerr << "usage: path_entry add|remove user|machine FOLDER" << std::endl;
        return 1;
    }
    const bool user = scope == L"user";
    const std::wstring folder = argv[3];
    HKEY key = nullptr;
    LSTATUS error =
        ::RegCreateKeyExW(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                          user ? USER_ENVIRONMENT_KEY : MACHINE_ENVIRONMENT_KEY, 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
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
        action == L"add" ? withFolder(path, folder) : withoutFolder(path, folder);
    if (changed != path && changed.empty() && user) {
        error = ::RegDeleteValueW(key, L"Path");
    } else if (changed != path) {
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
