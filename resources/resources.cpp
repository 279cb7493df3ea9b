#include "resources/resources.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace plantscan::resources {

std::optional<std::uint64_t> tightest(const MemoryRoom& room) {
    std::optional<std::uint64_t> least;
    for (const std::optional<std::uint64_t>& left :
         {room.available, room.groupLeft, room.processLeft}) {
        if (left) least = least ? std::min(*least, *left) : *left;
    }
    return least;
}

std::string readSmallFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace plantscan::resources
