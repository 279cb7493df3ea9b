// A fresh folder per test, removed afterwards, and small file helpers.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class TestFolder {
public:
    explicit TestFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("section_batch_" + name + "_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TestFolder() { std::filesystem::remove_all(path_); }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct CommandResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Runs `command` through the shell in `folder` with `pathPrefix` put before the PATH;
// standard output and error are collected (so standard error is not a terminal).
inline CommandResult runIn(const std::filesystem::path& folder, const std::string& command,
                           const std::string& pathPrefix = "") {
    const std::filesystem::path out = folder / ".out";
    const std::filesystem::path err = folder / ".err";
    const std::string line = "cd '" + folder.string() + "' && PATH='" + pathPrefix + "':\"$PATH\" " +
                             command + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(line.c_str());
    CommandResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readText(out);
    result.err = readText(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

// The lines of a CR LF text, each split at ";" (no quoted cells in what the tests read).
inline std::vector<std::vector<std::string>> readCells(const std::filesystem::path& path) {
    std::vector<std::vector<std::string>> rows;
    const std::string text = readText(path);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        std::vector<std::string> cells;
        std::size_t from = 0;
        for (std::size_t to; (to = line.find(';', from)) != std::string::npos; from = to + 1) {
            cells.push_back(line.substr(from, to - from));
        }
        cells.push_back(line.substr(from));
        rows.push_back(cells);
    }
    return rows;
}

// The 28 values of a "mesures.csv", read independently of the program: the cells between the
// label and the line end of the nine lines.
inline std::vector<std::string> reportValues(const std::filesystem::path& path) {
    std::vector<std::string> values;
    const std::vector<std::vector<std::string>> rows = readCells(path);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::size_t last = i <= 5 ? rows[i].size() - 1 : rows[i].size();  // rows 2-6 end with ";"
        values.insert(values.end(), rows[i].begin() + 1, rows[i].begin() + static_cast<long>(last));
    }
    return values;
}
