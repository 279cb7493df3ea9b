// Times as the batch writes them down: UTC, "2026-12-08T06:30:05Z", the one form it reads back.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace plantscan::stored {

std::string utcTime(std::time_t time);

// Seconds since 1970 of a time in that form; nothing for anything else.
std::optional<std::int64_t> parseUtcTime(const std::string& text);

}  // namespace plantscan::stored
