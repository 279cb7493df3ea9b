// "vignette.jpg": res.jpg reduced to about 320 pixels wide, for the results page.
#pragma once

#include "section_batch/results.h"

#include <filesystem>
#include <vector>

inline constexpr int THUMBNAIL_WIDTH = 320;

// From the scan folder's res.jpg, replacing any earlier thumbnail; with no readable res.jpg,
// an earlier thumbnail is removed, so none outlives the image it shows. True when one was
// written.
bool makeThumbnail(const std::filesystem::path& scanFolder);

// For each scan whose res.jpg has no thumbnail yet, or a thumbnail older than itself.
void makeMissingThumbnails(const std::filesystem::path& outFolder,
                           const std::vector<ScanResult>& results);
