#include "batch/table.h"

std::string quoteCell(const std::string& cell) {
    if (cell.find_first_of(";\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}
