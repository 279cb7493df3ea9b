// SORTIE/toutes_mesures.csv: one row per scan, its status and the values of its report, in the
// columns the report's layout names.
#pragma once

#include "batch/scan_folder.h"

#include <string>

inline constexpr const char* TABLE_FILE = "toutes_mesures.csv";

std::string tableHeader();
std::string tableRow(const ScanResult& result);
