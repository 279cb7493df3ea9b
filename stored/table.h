// The tables a batch writes, with the conventions of "mesures.csv": ";" between cells, comma
// decimals, UTF-8, CR LF.
#pragma once

#include <string>
#include <vector>

namespace plantscan::stored {

// The cell as it is, or quoted when a ";", a quote or a line break in it would break the row.
std::string quoteCell(const std::string& cell);

// The cells of a row written by the programs (none of their cells holds a ";").
std::vector<std::string> splitCells(const std::string& line);

}  // namespace plantscan::stored
