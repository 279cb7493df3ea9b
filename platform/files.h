// Files as the batch keeps them: whole or absent, on the disk before what vouches for them, and
// a scan told by its size and modification time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace plantscan::platform {

// Writes `text` into `path` (created or emptied) and waits until it is on the disk.
bool writeToDisk(const std::filesystem::path& path, const std::string& text);

// Waits until what was written to `path` is on the disk.
bool syncToDisk(const std::filesystem::path& path);

// Puts `from` in the place of `to`, in one step: a reader finds the old file or the new one.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

struct FileStamp {
    std::uintmax_t size = 0;
    std::int64_t modifiedNs = 0;  // since 1970-01-01 UTC, in nanoseconds
};
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);

}  // namespace plantscan::platform
