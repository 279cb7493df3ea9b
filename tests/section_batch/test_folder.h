// The shared folder and file helpers, and readers of the tables the batch writes.
#pragma once

#include "support/run_program.h"
#include "support/test_files.h"

#include <filesystem>
#include <string>
#include <vector>

using test_support::readBytes;
using test_support::RunOptions;
using test_support::runProgram;
using test_support::RunResult;
using test_support::TestFolder;
using test_support::writeBytes;

// A console text with its line ends as on Linux, "\n" alone (a Windows program writes CR LF).
inline std::string consoleText(const std::filesystem::path& path) {
    std::string text = readBytes(path);
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
    return text;
}

// The lines of a CR LF text, each split at ";".
inline std::vector<std::vector<std::string>> readCells(const std::filesystem::path& path) {
    std::vector<std::vector<std::string>> rows;
    const std::string text = readBytes(path);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        rows.push_back(test_support::splitCells(text.substr(start, end - start)));
    }
    return rows;
}

// The 28 values of a "mesures.csv", read independently of the program: the cells between the
// label and the line end of the nine lines.
inline std::vector<std::string> reportValues(const std::filesystem::path& path) {
    std::vector<std::string> values;
    const std::vector<std::vector<std::string>> rows = readCells(path);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::size_t last =
            i <= 5 ? rows[i].size() - 1 : rows[i].size();  // rows 2-6 end with ";"
        values.insert(values.end(), rows[i].begin() + 1, rows[i].begin() + static_cast<long>(last));
    }
    return values;
}
