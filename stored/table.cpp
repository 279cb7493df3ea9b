#include "stored/table.h"

namespace plantscan::stored {

std::string quoteCell(const std::string& cell) {
    if (cell.find_first_of(";\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(';', start);
        cells.push_back(line.substr(start, end - start));
        if (end == std::string::npos) return cells;
        start = end + 1;
    }
}

}  // namespace plantscan::stored
