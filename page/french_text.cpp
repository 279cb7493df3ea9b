#include "page/french_text.h"

#include "stored/utc_time.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace plantscan::page {

std::string frenchNumber(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    std::string result = text;
    std::replace(result.begin(), result.end(), '.', ',');
    return result == "-0" ? "0" : result;
}

std::optional<double> parseCell(const std::string& cell) {
    std::string text = cell;
    std::replace(text.begin(), text.end(), ',', '.');
    double value = 0;
    const char* const end = text.data() + text.size();
    const std::from_chars_result parsed = std::from_chars(text.data(), end, value);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string frenchDuration(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    if (total < 60) {
        std::snprintf(text, sizeof text, "%ld s", total);
    } else if (total < 3600) {
        std::snprintf(text, sizeof text, "%ld min %02ld s", total / 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld h %02ld min", total / 3600, total % 3600 / 60);
    }
    return text;
}

std::string frenchTime(const std::string& utc) {
    if (!stored::parseUtcTime(utc)) return utc.empty() ? "?" : utc;
    return utc.substr(8, 2) + "/" + utc.substr(5, 2) + "/" + utc.substr(0, 4) + " " +
           utc.substr(11, 8);
}

std::string exitStatusWords(int exitStatus, const stored::FolderLayout& layout) {
    const auto own = layout.statusWords.find(exitStatus);
    if (own != layout.statusWords.end()) return own->second;
    if (exitStatus == stored::NOT_STARTED) return layout.program + " n'a pas pu être lancé";
    if (exitStatus > 128) return "arrêté par le signal " + std::to_string(exitStatus - 128);
    return "statut inconnu";
}

std::string reportMissingWords(const stored::FolderLayout& layout) {
    return "« " + layout.report + " » absent ou incomplet";
}

std::string outcomeWords(const stored::ScanResult& result, const stored::FolderLayout& layout) {
    if (!result.exitStatus) return "pas de statut (mesure interrompue ou en cours)";
    const int status = *result.exitStatus;
    if (result.measured()) return exitStatusWords(status, layout);
    if (status == 0) return "statut 0 mais " + reportMissingWords(layout);
    return exitStatusWords(status, layout) + " (statut " + std::to_string(status) + ")";
}

std::string resolutionWords(const input::StatedResolution& stated, input::Dpi used) {
    std::string words = "résolution déclarée : " + frenchNumber(stated.x, 6) + " dpi";
    if (std::fabs(stated.y - stated.x) > input::RESOLUTION_TOLERANCE * stated.x) {
        words += " (" + frenchNumber(stated.y, 6) + " dpi en hauteur)";
    }
    return words + ", mesurée comme " + frenchNumber(used.value, 6) + " dpi";
}

}  // namespace plantscan::page
