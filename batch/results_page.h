// SORTIE/rapport.html: one static page to check a batch by eye (thumbnails, values, failures
// first, values that stand out marked). No script and no network: the folder can be zipped
// and sent. The rooms every kind of batch shares are here; each kind brings its distributions
// and its cards, built from them.
#pragma once

#include "batch/html.h"
#include "batch/scan_folder.h"
#include "batch/statistics.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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
std::string resultsPage(const std::vector<ScanResult>& results, const FolderLayout& layout,
                        const PageContext& context, const std::string& title,
                        const std::string& items, const Html& sections);

// Written to a temporary file then renamed, as the table is.
bool writeResultsPage(const std::filesystem::path& outFolder, const std::string& page);

// One value over the batch: one number per item (a scan, a leaflet), with what names it on
// hover and where a click on its dot goes; the median, the spread and the marks over them.
struct ValueSeries {
    std::string name;  // "Largeur primocanne"
    std::string unit;  // "mm"
    std::vector<std::optional<double>> numbers;
    std::vector<std::string> labels;   // "coupe_3.jpg"
    std::vector<std::string> targets;  // "#scan-3"
    std::optional<Spread> spread;
    std::vector<bool> marked;
};

// The spread and the marks of the numbers given.
ValueSeries valueSeries(std::string name, std::string unit,
                        std::vector<std::optional<double>> numbers, std::vector<std::string> labels,
                        std::vector<std::string> targets);

// Why item i is marked, for its title on hover.
std::string markTitle(const ValueSeries& series, std::size_t item);

// The strip plots of `series`, one row each, under `heading`.
Html distributionsSection(const std::vector<ValueSeries>& series, const std::string& heading,
                          const std::string& itemName);

// The anchor of a scan's card, "scan-3".
std::string cardId(std::size_t scan);

// A link to a file of the scan's folder.
Html folderLink(const ScanResult& result, const std::string& file, const Html& content);

// A scan's card: its thumbnail (leading to the overview), name, outcome, a stated resolution
// that differs, `details`, then links to every file of the program and the batch it holds.
Html scanCard(const ScanResult& result, const FolderLayout& layout, std::size_t scan,
              const Html& details);

// The cards in the table's order.
Html cardsSection(const std::vector<Html>& cards);

Html number(std::size_t value);
