// A scan's resolution, in dots per inch: the one a measurement turns pixels into millimetres
// with, and the one its header states.
#pragma once

#include <optional>
#include <string>

namespace plantscan::input {

// The resolution lengths are measured at. One type from the command line to the records: parsed
// once, written once, compared once.
struct Dpi {
    double value = 0;
    bool operator==(const Dpi& other) const { return value == other.value; }
    bool operator!=(const Dpi& other) const { return !(*this == other); }
};

// The rule for a resolution given on a command line (a batch's --dpi, its single-scan mode's):
// a whole number of dots per inch from 1 to 100000, digits only.
inline constexpr long LOWEST_DPI = 1;
inline constexpr long HIGHEST_DPI = 100000;
std::optional<Dpi> parseDpi(const std::string& text);

// Every digit the value holds ("600"; "600.5" from a record an older version wrote), as the
// records and the single-scan mode's command line give it.
std::string dpiText(Dpi dpi);

// The resolution a scan's header states, in dots per inch, across (x) and down (y).
struct StatedResolution {
    double x;
    double y;
};

// Scanners often write 72 or 96 dpi, or any number, whatever the scan: only a resolution in this
// range says something about it.
inline constexpr double CREDIBLE_DPI_LOW = 150;
inline constexpr double CREDIBLE_DPI_HIGH = 9600;
// Closer than this fraction, a stated resolution is the one used.
inline constexpr double RESOLUTION_TOLERANCE = 0.01;

// A credible stated resolution (x) more than RESOLUTION_TOLERANCE away from the one the
// measurement turns pixels into millimetres with.
bool resolutionDiffers(const StatedResolution& stated, Dpi used);

}  // namespace plantscan::input
