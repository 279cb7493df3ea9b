#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace test_support {

TestFolder::TestFolder(const std::string& name) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / (name + "_" + std::to_string(entropy()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) path_ = candidate;
    }
    if (path_.empty()) {
        ADD_FAILURE() << "cannot create a folder for " << name << " in "
                      << fs::temp_directory_path();
        return;
    }
    // A run as another user must get in.
    fs::permissions(path_,
                    fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::add);
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    if (!keep_ && !path_.empty()) fs::remove_all(path_, ignored);
}

std::string readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t end; (end = line.find(';', start)) != std::string::npos; start = end + 1) {
        cells.push_back(line.substr(start, end - start));
    }
    cells.push_back(line.substr(start));
    return cells;
}

std::string textBlockUnder(const std::filesystem::path& markdown, const std::string& heading) {
    const std::string text = readBytes(markdown);
    const std::string fence = "```text\n";
    const std::size_t at = text.find(heading);
    const std::size_t start = at == std::string::npos ? at : text.find(fence, at);
    if (start == std::string::npos) return "";
    const std::size_t end = text.find("\n```", start + fence.size());
    if (end == std::string::npos) return "";
    return text.substr(start + fence.size(), end + 1 - start - fence.size());
}

}  // namespace test_support
