#include "scan_input/resolution.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <utility>

namespace plantscan::input {

namespace {

std::string decimalComma(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    std::string result = text;
    std::replace(result.begin(), result.end(), '.', ',');
    return result;
}

// How many times too small or too large values are, in words: "deux fois", "1,5 fois"; below
// 1.5 a percentage, which reads better than a factor: "17 %".
std::string factorWords(double factor, bool tooSmall) {
    static const std::array<const char*, 11> WORDS{"",    "",     "deux", "trois", "quatre", "cinq",
                                                   "six", "sept", "huit", "neuf",  "dix"};
    // The areas' factors, squares of the lengths'.
    static const std::array<std::pair<long, const char*>, 7> SQUARES{{{16, "seize"},
                                                                      {25, "vingt-cinq"},
                                                                      {36, "trente-six"},
                                                                      {49, "quarante-neuf"},
                                                                      {64, "soixante-quatre"},
                                                                      {81, "quatre-vingt-un"},
                                                                      {100, "cent"}}};
    const long whole = std::lround(factor);
    if (std::fabs(factor - static_cast<double>(whole)) <= RESOLUTION_TOLERANCE * factor) {
        if (whole >= 2 && whole <= 10)
            return std::string(WORDS[static_cast<std::size_t>(whole)]) + " fois";
        for (const auto& [square, word] : SQUARES)
            if (square == whole) return std::string(word) + " fois";
    }
    if (factor < 1.5) {
        const double percent = tooSmall ? 100 * (1 - 1 / factor) : 100 * (factor - 1);
        return decimalComma(std::max(1.0, std::round(percent)), 3) + " %";
    }
    return decimalComma(factor, 3) + " fois";
}

}  // namespace

std::optional<Dpi> parseDpi(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || value < LOWEST_DPI || value > HIGHEST_DPI) return std::nullopt;
    return Dpi{static_cast<double>(value)};
}

std::string dpiText(Dpi dpi) {
    std::ostringstream text;
    text << std::setprecision(17) << dpi.value;
    return text.str();
}

bool resolutionDiffers(const StatedResolution& stated, Dpi used) {
    return stated.x >= CREDIBLE_DPI_LOW && stated.x <= CREDIBLE_DPI_HIGH &&
           std::fabs(stated.x - used.value) > RESOLUTION_TOLERANCE * used.value;
}

std::string statedDpiCell(double dpi) { return decimalComma(dpi, 6); }

std::string resolutionWarning(const StatedResolution& stated, Dpi used, bool withAreas) {
    const std::string dpi = statedDpiCell(stated.x) + " dpi";
    std::string words = "le fichier indique " + dpi;
    if (std::fabs(stated.y - stated.x) > RESOLUTION_TOLERANCE * stated.x)
        words += " (" + statedDpiCell(stated.y) + " dpi en hauteur)";
    // A pixel is 25.4 / stated mm, counted as 25.4 / used: lengths come out stated / used times
    // the true ones, and are mended by the inverse.
    const double ratio = stated.x / used.value;
    const bool tooSmall = ratio < 1;
    const double factor = tooSmall ? 1 / ratio : ratio;
    const std::string way = tooSmall ? " trop petites" : " trop grandes";
    const std::string correction = decimalComma(1 / ratio, 4);
    words += std::string(" ; les longueurs") + (withAreas ? " et les aires" : "") +
             " sont calculées pour " + statedDpiCell(used.value) + " dpi : si le scan est bien à " +
             dpi + ", ";
    if (!withAreas)
        return words + "elles sont " + factorWords(factor, tooSmall) + way +
               " (multipliez-les par " + correction + ")";
    return words + "les longueurs sont " + factorWords(factor, tooSmall) + way + " et les aires " +
           factorWords(factor * factor, tooSmall) + way + " (multipliez les longueurs par " +
           correction + " et les aires par " + decimalComma(1 / (ratio * ratio), 4) + ")";
}

}  // namespace plantscan::input
