// section_batch as a kind of batch: section_measure run on each scan, what it leaves in the
// scan's folder, the table of its reports, the page and the help.
#pragma once

#include "batch/batch_run.h"
#include "page/results_page.h"
#include "stored/scan_folder.h"

#include <optional>
#include <string>
#include <vector>

namespace plantscan::section_batch {

inline constexpr const char* TABLE_FILE = "toutes_mesures.csv";

// section_measure's files, as section_measure/output_files.h declares them.
stored::FolderLayout sectionMeasureLayout();

// The value cells of a "mesures.csv" as written, line after line; nothing unless the text has
// exactly the lines, labels and cells of that file.
std::optional<std::vector<std::string>> parseMeasurementReport(const std::string& text);

// toutes_mesures.csv: one row per scan, its status and the values of its report, in the columns
// the report's layout names.
std::string tableHeader();
std::string tableRow(const stored::ScanResult& result);

// The page: the spread of the main values over the scans, and a card per scan with them.
std::string sectionResultsPage(const std::vector<stored::ScanResult>& results,
                               const stored::FolderLayout& layout,
                               const page::PageContext& context);

std::string helpText();

batch::BatchKind sectionBatch();

}  // namespace plantscan::section_batch
