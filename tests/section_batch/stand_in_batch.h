// A batch with a stand-in for section_measure beside it (stand_in.cpp): each test's folder holds
// the scans, bin/ with both programs, and the stand-in's call log.
#pragma once

#include "test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// A program's file name here ("section_measure", or "section_measure.exe" on Windows).
inline std::string programFile(const std::string& name) { return name + EXECUTABLE_SUFFIX; }

inline void writeStandIn(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(STAND_IN_BINARY, folder / programFile("section_measure"));
}

// The lines of a text, "\r\n" or "\n" ended.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::size_t length = end - start - (end > start && text[end - 1] == '\r');
        result.push_back(text.substr(start, length));
    }
    return result;
}

// The scans the stand-in was called for since the last look, by file name, sorted.
inline std::vector<std::string> calledScans(const std::filesystem::path& callLog) {
    std::vector<std::string> names;
    for (const std::string& path : lines(readBytes(callLog))) {
        names.push_back(std::filesystem::u8path(path).filename().u8string());
    }
    std::sort(names.begin(), names.end());
    std::filesystem::remove(callLog);
    return names;
}

// section_batch copied beside the stand-in, where it looks first.
struct Batch {
    TestFolder folder;
    std::filesystem::path scans = folder.path() / "scans";
    std::filesystem::path bin = folder.path() / "bin";
    std::filesystem::path callLog = folder.path() / "calls.txt";

    explicit Batch(const std::string& name) : folder("section_batch_" + name) {
        std::filesystem::create_directories(scans);
        writeStandIn(bin);
        std::filesystem::copy_file(SECTION_BATCH_BINARY, bin / programFile("section_batch"));
    }
    // Where the batch runs, and the stand-in's log passed on to it through the batch.
    RunOptions options() const {
        RunOptions options;
        options.folder = folder.path();
        options.environment.emplace_back("STAND_IN_CALLS", callLog.u8string());
        return options;
    }
    RunResult run(const std::vector<std::string>& arguments) const {
        return runProgram("bin/section_batch", arguments, options());
    }
};
