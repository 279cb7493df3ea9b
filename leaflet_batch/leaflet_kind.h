// leaflet_batch as a kind of batch: its own single-scan mode run on each scan, what it leaves in
// the scan's folder, tous_petales.csv, the page and the help.
#pragma once

#include "batch/batch_run.h"
#include "page/results_page.h"
#include "stored/scan_folder.h"

#include <string>
#include <vector>

namespace plantscan::leaflet_batch {

inline constexpr const char* LEAFLET_TABLE_FILE = "tous_petales.csv";

stored::FolderLayout leafletLayout();

// One row per leaflet (scan, status, its number, its crop's path relative to SORTIE, its
// values, the resolution they were measured at), and one row with its status for a scan that
// failed or has no leaflet.
std::string leafletTable(const std::vector<stored::ScanResult>& results,
                         const stored::FolderLayout& layout);

// The page: the spread of area, length and width over every leaflet, and a card per scan with
// its drawing, its count and a contact sheet of its crops.
std::string leafletResultsPage(const std::vector<stored::ScanResult>& results,
                               const stored::FolderLayout& layout,
                               const page::PageContext& context);

// "12 pétale(s) ; sans pétale : a.jpg" when some scan has none.
std::string leafletSummary(const std::vector<stored::ScanResult>& results,
                           const stored::FolderLayout& layout);

std::string leafletHelpText();

batch::BatchKind leafletBatch();

}  // namespace plantscan::leaflet_batch
