// A leaflet's colour as CIE L*a*b* (1976), from the scan's values taken as sRGB under D65: the
// scanner's colour, not a calibrated one.
#pragma once

#include "leaflet_crop/leaflet_size.h"

#include <opencv2/core.hpp>

#include <array>

namespace plantscan::leaflet {

// L* from 0 (black) to 100 (white); a* (green -, red +) and b* (blue -, yellow +) signed.
struct CieLab {
    double lightness = 0;
    double a = 0;
    double b = 0;
};

// An 8-bit sRGB value (0 to 255) as linear light (0 to 1): sRGB's inverse companding.
double linearFromSrgb(int value);
// linearFromSrgb of every 8-bit value, for images.
std::array<double, 256> linearLightTable();
// Linear-light sRGB (each 0 to 1) through CIE XYZ, with D65's white as the reference white.
CieLab cieLabFromLinearRgb(double red, double green, double blue);
CieLab cieLabFromSrgb(int red, int green, int blue);

// sRGB's primaries and D65's white (IEC 61966-2-1): linear-light R, G, B to CIE X, Y, Z.
constexpr double SRGB_TO_XYZ[3][3] = {{0.4124564, 0.3575761, 0.1804375},
                                      {0.2126729, 0.7151522, 0.0721750},
                                      {0.0193339, 0.1191920, 0.9503041}};

// CIE Y of linear-light sRGB: 0 black, 1 white.
inline double luminanceOfLinear(double red, double green, double blue) {
    return SRGB_TO_XYZ[1][0] * red + SRGB_TO_XYZ[1][1] * green + SRGB_TO_XYZ[1][2] * blue;
}

// How far from the leaflet's edges (its outline and its holes' edges), in pixels, a pixel must
// lie to count in its colour: the scan blends the edge pixels with the background.
constexpr int COLOUR_MARGIN = 3;

// Over `pixels.box`: the leaflet's light pixels whose neighbours within COLOUR_MARGIN pixels
// are all light too; all its light pixels when none lies that far in.
cv::Mat pixelsAwayFromEdge(const LeafletPixels& pixels);

// The mean of the leaflet's pixels away from its edge (of the 8-bit BGR `source`) in linear
// light, R, G and B: the light the leaflet sends back. Its colour is cieLabFromLinearRgb of it,
// its luminance luminanceOfLinear. Zero for a leaflet without a light pixel.
cv::Vec3d meanLinearRgb(const cv::Mat& source, const LeafletPixels& pixels);

}  // namespace plantscan::leaflet
