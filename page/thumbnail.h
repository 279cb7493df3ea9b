// "vignette.jpg": the overview picture of a scan's folder (res.jpg) reduced to about 320 pixels
// wide, and small pictures of its pieces (a leaflet's crop), for the results page.
#pragma once

#include "stored/scan_folder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace plantscan::page {

inline constexpr int THUMBNAIL_WIDTH = 320;
// A piece's thumbnail fits in a square of this side.
inline constexpr int PIECE_THUMBNAIL_SIDE = 120;

// From the scan folder's `overview` picture, replacing any earlier thumbnail; with no readable
// picture, an earlier thumbnail is removed, so none outlives the image it shows. Each piece's
// number is written on it where `places` says the piece lies. True when one was written.
bool makeThumbnail(const std::filesystem::path& scanFolder, const std::string& overview,
                   const std::vector<stored::PiecePlace>& places = {});

// A thumbnail for each piece of the scan's folder, replacing any earlier one.
void makePieceThumbnails(const std::filesystem::path& scanFolder, const std::string& scanName,
                         const stored::FolderLayout& layout);

// The results, with a thumbnail made for each scan whose overview has none as new as itself, and
// likewise for each piece.
std::vector<stored::ScanResult> withThumbnails(const std::filesystem::path& outFolder,
                                               std::vector<stored::ScanResult> results,
                                               const stored::FolderLayout& layout);

}  // namespace plantscan::page
