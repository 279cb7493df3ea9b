#include "scan_input/resolution.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>

namespace plantscan::input {

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

}  // namespace plantscan::input
