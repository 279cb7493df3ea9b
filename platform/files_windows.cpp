#include "platform/files.h"

#include "platform/windows_text.h"

#include <windows.h>

#include <algorithm>

namespace plantscan::platform {

namespace {

// 100 ns intervals from 1601-01-01 to 1970-01-01.
constexpr std::int64_t WINDOWS_TO_UNIX_EPOCH = 116444736000000000;

}  // namespace

bool writeToDisk(const std::filesystem::path& path, const std::string& text) {
    const OwnedHandle file{::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.value == INVALID_HANDLE_VALUE) return false;
    std::size_t written = 0;
    while (written < text.size()) {
        DWORD n = 0;
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(text.size() - written, 1u << 30));
        if (!::WriteFile(file.value, text.data() + written, chunk, &n, nullptr) || n == 0) break;
        written += n;
    }
    return written == text.size() && ::FlushFileBuffers(file.value);
}

bool syncToDisk(const std::filesystem::path& path) {
    // Flushing needs a handle that may write.
    const OwnedHandle file{::CreateFileW(path.c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr)};
    return file.value != INVALID_HANDLE_VALUE && ::FlushFileBuffers(file.value);
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::optional<FileStamp> fileStamp(const std::filesystem::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    return FileStamp{size, (ticks - WINDOWS_TO_UNIX_EPOCH) * 100};
}

}  // namespace plantscan::platform
