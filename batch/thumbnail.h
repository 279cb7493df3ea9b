// "vignette.jpg": the overview picture of a scan's folder (res.jpg) reduced to about 320 pixels
// wide, for the results page.
#pragma once

#include "batch/scan_folder.h"

#include <filesystem>
#include <string>
#include <vector>

inline constexpr int THUMBNAIL_WIDTH = 320;

// From the scan folder's `overview` picture, replacing any earlier thumbnail; with no readable
// picture, an earlier thumbnail is removed, so none outlives the image it shows. True when one
// was written.
bool makeThumbnail(const std::filesystem::path& scanFolder, const std::string& overview);

// The results, with a thumbnail made for each scan whose overview has none as new as itself.
std::vector<ScanResult> withThumbnails(const std::filesystem::path& outFolder,
                                       std::vector<ScanResult> results, const FolderLayout& layout);
