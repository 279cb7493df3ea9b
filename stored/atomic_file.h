// Files that are whole or absent, even when the batch is stopped or the machine fails midway.
#pragma once

#include <filesystem>
#include <string>

namespace plantscan::stored {

// Temporary file in the same folder, then put in the place of `path`.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& text);

}  // namespace plantscan::stored
