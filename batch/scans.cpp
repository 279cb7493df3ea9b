#include "batch/scans.h"

#include "platform/paths.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <system_error>

namespace plantscan::batch {

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

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The runs of digits at a[i] and b[j] compared by value, of any length (-1, 0 or 1); i and j
// move past them.
int compareNumbers(const std::string& a, std::size_t& i, const std::string& b, std::size_t& j) {
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    const std::size_t aStart = i;
    const std::size_t bStart = j;
    while (i < a.size() && isDigit(a[i])) ++i;
    while (j < b.size() && isDigit(b[j])) ++j;
    if (i - aStart != j - bStart) return i - aStart < j - bStart ? -1 : 1;
    const int digits = a.compare(aStart, i - aStart, b, bStart, j - bStart);
    return (digits > 0) - (digits < 0);
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const int numbers = compareNumbers(a, i, b, j);
            if (numbers != 0) return numbers < 0;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();  // a proper prefix comes first
    return a < b;
}

void sortNaturally(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), naturalLess);
}

std::vector<std::string> listScans(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code error;
        const std::string name = platform::utf8FromPath(entry.path().filename());
        if (entry.is_regular_file(error) && isScanName(name)) names.push_back(name);
    }
    sortNaturally(names);
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

}  // namespace plantscan::batch
