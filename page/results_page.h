// SORTIE/rapport.html: one static page to check a batch by eye (thumbnails, values, failures
// first, values that stand out marked). No script and no network: the folder can be zipped
// and sent. The frame every kind of batch shares is here; each kind brings its distributions
// (strip_plot.h) and its cards (cards.h).
#pragma once

#include "page/html.h"
#include "stored/scan_folder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace plantscan::page {

inline constexpr const char* RESULTS_PAGE_FILE = "rapport.html";

// One run of the batch, times as its record holds them ("2026-12-08T06:30:05Z"); either may be
// empty when unknown.
struct RunTimes {
    std::string start, end;
};

// What the page says about the batch beside its scans.
struct PageContext {
    std::string batchName;  // "section_batch"
    std::string tableFile;  // beside the page
    bool tablePresent = false;
    std::vector<RunTimes> runs;
};

// The page: its head, the counts by status, the runs, the failures first, then `sections`
// (the kind's distributions and cards). `items`: what a value is measured on ("scans").
std::string resultsPage(const std::vector<stored::ScanResult>& results,
                        const stored::FolderLayout& layout, const PageContext& context,
                        const std::string& title, const std::string& items, const Html& sections);

// Written to a temporary file then renamed, as the table is.
bool writeResultsPage(const std::filesystem::path& outFolder, const std::string& page);

}  // namespace plantscan::page
