#include "platform/system_errors.h"

#include <windows.h>

namespace plantscan::platform {

namespace {

// The codes the file-system calls give for causes a person can act on.
std::error_condition fromWindowsCode(DWORD code, const std::error_code& error) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return std::errc::no_such_file_or_directory;
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED: return std::errc::permission_denied;
        case ERROR_WRITE_PROTECT: return std::errc::read_only_file_system;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return std::errc::device_or_resource_busy;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL: return std::errc::no_space_on_device;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return std::errc::file_exists;
        case ERROR_DIR_NOT_EMPTY: return std::errc::directory_not_empty;
        case ERROR_DIRECTORY: return std::errc::not_a_directory;
        case ERROR_FILENAME_EXCED_RANGE: return std::errc::filename_too_long;
        case ERROR_INVALID_NAME: return std::errc::invalid_argument;
        case ERROR_TOO_MANY_OPEN_FILES: return std::errc::too_many_files_open;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return std::errc::not_enough_memory;
        case ERROR_NOT_SAME_DEVICE: return std::errc::cross_device_link;
        default: return error.default_error_condition();
    }
}

}  // namespace

std::error_condition portableCondition(const std::error_code& error) {
    if (error.category() == std::system_category())
        return fromWindowsCode(static_cast<DWORD>(error.value()), error);
    return error.default_error_condition();
}

}  // namespace plantscan::platform
