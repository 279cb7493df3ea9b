// A fresh folder per test, and the file and text helpers several tests share.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

// A new folder under the system's temporary folder, removed with its contents at the end.
class TestFolder {
public:
    explicit TestFolder(const std::string& name);
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Left in place, for a look at what a failed test saw.
    void keep() { keep_ = true; }

private:
    std::filesystem::path path_;
    bool keep_ = false;
};

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

// Lines without their "\n"; a last line without one counts too.
std::vector<std::string> splitLines(const std::string& text);
// The cells of a line split at ";" (no quoted cells in what the tests read).
std::vector<std::string> splitCells(const std::string& line);

// The text of the first ```text block after the line `heading` of a Markdown file, with its last
// "\n"; empty when there is none.
std::string textBlockUnder(const std::filesystem::path& markdown, const std::string& heading);

}  // namespace test_support
