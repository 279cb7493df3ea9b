// UTF-8, which the programs hold, and UTF-16, which Windows' wide functions take; a handle
// closed when it goes (Windows only).
#pragma once

#include <windows.h>

#include <string>

namespace plantscan::platform {

// Closed at the end of its scope, unless null or invalid (CreateFileW's failure).
struct OwnedHandle {
    HANDLE value;
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (value != nullptr && value != INVALID_HANDLE_VALUE) ::CloseHandle(value);
    }
};

std::wstring wideFromUtf8(const std::string& utf8);
std::string utf8FromWide(const std::wstring& wide);

}  // namespace plantscan::platform
