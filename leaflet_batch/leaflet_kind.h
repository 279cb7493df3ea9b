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
// values, the resolution they were measured at, last the one the scan's file states), and one
// row with its status for a scan that failed or has no leaflet.
std::string leafletTable(const std::vector<stored::ScanResult>& results,
                         const stored::FolderLayout& layout);

// The page: the spread of area, length and width over every leaflet, and a card per scan with
// its drawing, its count and a contact sheet of its crops.
std::string leafletResultsPage(const std::vector<stored::ScanResult>& results,
                               const stored::FolderLayout& layout,
                               const page::PageContext& context);

// A "leaflet" that touches the scan's border or covers more than this share of it: a light
// background, a section, any scan that is not of light leaflets on a dark ground (or a leaflet
// cut by the border).
inline constexpr double MOST_OF_THE_SCAN = 0.5;

// What makes the scan's leaflet `n` unlike one, as its folder records where it lies ("touche le
// bord de l'image"); empty when nothing does.
std::string unlikeALeaflet(const stored::ScanResult& result, std::size_t n);

// Why the scan does not look like a leaf scan, in a few words (no capital, no full stop);
// empty when it does.
std::string noLeafScanWords(const stored::ScanResult& result);

// "12 pétale(s) ; sans pétale : a.jpg" when some scan has none, then a line for each scan that
// does not look like a leaf scan.
std::vector<std::string> leafletSummary(const std::vector<stored::ScanResult>& results,
                                        const stored::FolderLayout& layout);

std::string leafletHelpText();

batch::BatchKind leafletBatch();

}  // namespace plantscan::leaflet_batch
