// Refusing a scan too large for the memory this process may use, before it is decoded.
#pragma once

#include "resources/memory_need.h"
#include "scan_input/scan_input.h"

#include <optional>
#include <ostream>
#include <string>

namespace plantscan::input {

// The refusal of the scan at `path` when its header tells it will not fit in the memory this
// process may use (resources::memoryRefusal); nothing when it fits or its header tells no size.
std::optional<std::string> scanRefusal(const std::string& path, const resources::MemoryNeed& need,
                                       resources::Language language,
                                       const std::string& program = "section_measure",
                                       const std::string& batch = "section_batch");

// Refuses, before it is decoded, a scan whose header tells it will not fit in the memory this
// process may use (so that a memory limit does not kill the run midway): says why on `errors`
// and returns true. A scan whose header tells no size is not refused here. The message names
// `program` and the batch that runs it as memoryShortageMessage does.
bool refuseScanTooLarge(const std::string& path, const resources::MemoryNeed& need,
                        resources::Language language, std::ostream& errors,
                        const std::string& program = "section_measure",
                        const std::string& batch = "section_batch");

}  // namespace plantscan::input
