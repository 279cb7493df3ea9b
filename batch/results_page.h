// SORTIE/rapport.html: one static page to check a batch by eye (thumbnails, values, failures
// first, values that stand out marked). No script and no network: the folder can be zipped
// and sent.
#pragma once

#include "batch/scan_folder.h"

#include <filesystem>
#include <string>
#include <vector>

inline constexpr const char* RESULTS_PAGE_FILE = "rapport.html";

// One run of section_batch, times as its record holds them ("2026-12-08T06:30:05Z"); either
// may be empty when unknown.
struct RunTimes {
    std::string start, end;
};

// The page of `results`, each as its scan's folder was read; `tablePresent`: the table lies
// beside the page.
std::string resultsPage(const std::vector<ScanResult>& results, const FolderLayout& layout,
                        bool tablePresent, const std::vector<RunTimes>& runs);

// Written to a temporary file then renamed, as the table is.
bool writeResultsPage(const std::filesystem::path& outFolder,
                      const std::vector<ScanResult>& results, const FolderLayout& layout,
                      const std::vector<RunTimes>& runs);
