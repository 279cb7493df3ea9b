// Which files of a folder are scans, in which order, and which of them a shard measures.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// .jpg, .jpeg, .png, .tif, .tiff or .bmp, in any case.
bool isScanName(const std::string& fileName);

// File names (not paths) of the scans directly inside `folder`, sorted byte-wise.
std::vector<std::string> listScans(const std::filesystem::path& folder);

// The names whose position (from 0) in `names` is shard modulo shardCount.
std::vector<std::string> selectShard(const std::vector<std::string>& names, long shard,
                                     long shardCount);
