// The numbers that shape a section's measurement, in one place. Changing one changes what the
// program measures or draws: do it only on purpose, and expect the golden tests to fail.
#pragma once

#include <cstddef>

namespace plantscan::section {

// Corners ("angles") of a section, and hollows ("creux") between them.
constexpr int LOBE_COUNT = 5;
// Millimetres per pixel of a 1200 dpi scan (25.4 / 1200).
constexpr double PIXEL_TO_MM = 0.021166666666666667;
// That resolution, in dots per inch, for those who compare it with a scan's own.
constexpr double SCAN_DPI = 1200;
static_assert(25.4 / SCAN_DPI - PIXEL_TO_MM < 1e-15 && PIXEL_TO_MM - 25.4 / SCAN_DPI < 1e-15);

// Segmentation.
// Gray level at or below which a pixel starts as probable section.
constexpr int DARK_LEVEL = 50;
// Rounds of cv::grabCut refining the threshold's guess.
constexpr int GRABCUT_ITERATIONS = 8;
// Radius of the elliptical opening (a 21 x 21 ellipse) that fills cracks and holes in the section.
constexpr int OPENING_RADIUS = 10;

// Outline.
// A contour must enclose strictly more than this many pixels to be the section.
constexpr double MIN_SECTION_AREA = 10000.0;
// Contour points this close to the scan's edge (or closer) are dropped.
constexpr int BORDER_BAND = 10;
// Seed of the generator that colours the contours in "res.jpg".
constexpr int CONTOUR_COLOUR_SEED = 12345;

// Corners and hollows.
// Degrees, seen from the centroid, by which a corner must be apart from those found before.
constexpr double MIN_CORNER_SEPARATION_DEG = 35.0;
// Starting "nearest distance" of the hollow search; above any distance between two pixels.
constexpr double NO_HOLLOW_YET_DISTANCE = 9999899999.0;
// Within this distance an outline point is taken to be the hull vertex itself.
constexpr double HULL_VERTEX_TOLERANCE = 1.5;
// Angle added to a hull chord's for the perpendicular through its hollow: the double nearest
// pi / 2, unlike geometry::VERTICAL_ANGLE.
constexpr double PERPENDICULAR_TURN = 1.5707963267948966;
// Length of that perpendicular, in pixels: longer than any scan.
constexpr double PERPENDICULAR_LENGTH = 10000;

// Measurements.
// Largest mean deviation, in pixels, of a corner's circle fit before the three-point circle.
constexpr double CORNER_FIT_THRESHOLD = 10.0;
// The same for a hollow's fit.
constexpr double HOLLOW_FIT_THRESHOLD = 5.0;
// A hollow's angle is taken between the outline points this many indices before and after it.
constexpr int NEIGHBOUR_OFFSET = 8;
// Degrees below which a hollow is sharp and gets the narrow fit window.
constexpr double SHARP_HOLLOW_LIMIT_DEG = 100.0;
// Outline points fitted on each side of a sharp hollow, and of any other hollow.
constexpr int NARROW_HALF_WINDOW = 15;
constexpr int WIDE_HALF_WINDOW = 60;
// Fewest outline points the measurements can index around: the widest hollow window.
constexpr std::size_t MIN_OUTLINE_POINTS = WIDE_HALF_WINDOW;

}  // namespace plantscan::section
