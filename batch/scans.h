// Which files of a folder are scans, in which order, and which of them a shard measures.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace plantscan::batch {

// .jpg, .jpeg, .png, .tif, .tiff or .bmp, in any case.
bool isScanName(const std::string& fileName);

// The order a file manager shows: runs of digits compare as numbers ("coupe_2" before
// "coupe_10"), everything else byte by byte; names equal that way ("coupe_02", "coupe_2")
// fall back to their bytes, so the order is total and every machine sorts a list alike.
bool naturalLess(const std::string& a, const std::string& b);

void sortNaturally(std::vector<std::string>& names);

// File names (not paths) of the scans directly inside `folder`, in natural order.
std::vector<std::string> listScans(const std::filesystem::path& folder);

// The names whose position (from 0) in `names` is shard modulo shardCount.
std::vector<std::string> selectShard(const std::vector<std::string>& names, long shard,
                                     long shardCount);

}  // namespace plantscan::batch
