#include "section_batch/scans.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <system_error>

namespace fs = std::filesystem;

bool isScanName(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::array<const char*, 6> known{"jpg", "jpeg", "png", "tif", "tiff", "bmp"};
    return std::find(known.begin(), known.end(), extension) != known.end();
}

std::vector<std::string> listScans(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code error;
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && isScanName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> selectShard(const std::vector<std::string>& names, long shard,
                                     long shardCount) {
    std::vector<std::string> selected;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (static_cast<long>(i % static_cast<std::size_t>(shardCount)) == shard % shardCount) {
            selected.push_back(names[i]);
        }
    }
    return selected;
}
