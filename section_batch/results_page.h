// SORTIE/rapport.html: one static page to check a batch by eye (thumbnails, values, failures
// first, values that stand out marked). No script and no network: the folder can be zipped
// and sent.
#pragma once

#include "section_batch/results.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* RESULTS_PAGE_FILE = "rapport.html";
inline constexpr const char* THUMBNAIL_FILE = "vignette.jpg";
inline constexpr const char* ERRORS_FILE = "erreurs.txt";

// One run of section_batch, times in UTC ISO 8601 ("2026-12-08T06:30:05Z"); either may be
// empty when unknown.
struct RunTimes {
    std::string start, end;
};

// What the page links to in a scan's subfolder: the names of the files found there (among
// the images and texts a measurement leaves) and the first lines of its "erreurs.txt".
struct ScanFiles {
    std::vector<std::string> present;
    std::string firstErrorLines;
};

// The output folder as seen from the page, which sits at its top.
struct BatchLayout {
    bool tablePresent = false;
    std::vector<ScanFiles> scans;  // in the order of the results
};

// Looks in each scan's subfolder of outFolder.
BatchLayout readBatchLayout(const std::filesystem::path& outFolder,
                            const std::vector<ScanResult>& results);

std::string resultsPage(const std::vector<ScanResult>& results, const BatchLayout& layout,
                        const std::vector<RunTimes>& runs);

// Written to a temporary file then renamed, as the table is.
bool writeResultsPage(const std::filesystem::path& outFolder,
                      const std::vector<ScanResult>& results, const std::vector<RunTimes>& runs);

// --- Pieces the page is made of, open to the tests ---

std::string escapeHtml(const std::string& text);

// A cell of the table ("9,87", "1,23457e+06", "-0") as a number; nothing unless the whole
// cell is one finite number.
std::optional<double> parseCell(const std::string& cell);

// Which values lie further from the median than 3.5 robust deviations (1.4826 x the median
// absolute deviation, or 1.2533 x the mean absolute deviation when that is 0). Nothing is
// marked among fewer than 5 values, nor when both deviations are 0.
std::vector<bool> markOutliers(const std::vector<double>& values);
