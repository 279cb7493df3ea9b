// Files that are whole or absent, even when the batch is stopped or the machine fails midway.
#pragma once

#include <filesystem>
#include <string>

// Temporary file in the same folder, then renamed over `path`.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& text);

// Flushes a file written by another process to disk; false if it cannot be opened or synced.
bool syncToDisk(const std::filesystem::path& path);
