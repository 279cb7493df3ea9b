// The cards of a results page: one per scan, with its thumbnail, outcome and files.
#pragma once

#include "page/html.h"
#include "stored/scan_folder.h"

#include <cstddef>
#include <string>
#include <vector>

namespace plantscan::page {

// The anchor of a scan's card, "scan-3".
std::string cardId(std::size_t scan);

// A link to a file of the scan's folder.
Html folderLink(const stored::ScanResult& result, const std::string& file, const Html& content);

// A scan's card: its thumbnail (leading to the overview), name, outcome, a stated resolution
// that differs, `details`, then links to every file of the program and the batch it holds.
Html scanCard(const stored::ScanResult& result, const stored::FolderLayout& layout,
              std::size_t scan, const Html& details);

// The cards in the table's order.
Html cardsSection(const std::vector<Html>& cards);

// A count, as the page shows it.
Html number(std::size_t value);

}  // namespace plantscan::page
