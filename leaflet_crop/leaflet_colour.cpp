#include "leaflet_crop/leaflet_colour.h"

#include <opencv2/imgproc.hpp>

#include <array>
#include <cmath>

namespace plantscan::leaflet {

namespace {

// D65's white in CIE XYZ, the reference white.
constexpr double WHITE[3] = {0.95047, 1.0, 1.08883};

// CIE 1976's f, with its linear part near black.
double labF(double t) {
    constexpr double DELTA = 6.0 / 29;
    return t > DELTA * DELTA * DELTA ? std::cbrt(t) : t / (3 * DELTA * DELTA) + 4.0 / 29;
}

}  // namespace

double linearFromSrgb(int value) {
    const double c = cv::saturate_cast<uchar>(value) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::array<double, 256> linearLightTable() {
    std::array<double, 256> table{};
    for (int v = 0; v < 256; ++v) table[v] = linearFromSrgb(v);
    return table;
}

CieLab cieLabFromLinearRgb(double red, double green, double blue) {
    const double rgb[3] = {red, green, blue};
    double f[3];
    for (int i = 0; i < 3; ++i)
        f[i] = labF(
            (SRGB_TO_XYZ[i][0] * rgb[0] + SRGB_TO_XYZ[i][1] * rgb[1] + SRGB_TO_XYZ[i][2] * rgb[2]) /
            WHITE[i]);
    return {116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
}

CieLab cieLabFromSrgb(int red, int green, int blue) {
    return cieLabFromLinearRgb(linearFromSrgb(red), linearFromSrgb(green), linearFromSrgb(blue));
}

cv::Mat pixelsAwayFromEdge(const LeafletPixels& pixels) {
    if (pixels.light.empty()) return pixels.light;
    // Dark beyond the box, so that the edge pixels on its sides are taken off too.
    cv::Mat away;
    cv::erode(pixels.light, away,
              cv::getStructuringElement(cv::MORPH_ELLIPSE,
                                        cv::Size(2 * COLOUR_MARGIN + 1, 2 * COLOUR_MARGIN + 1)),
              cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    return cv::countNonZero(away) > 0 ? away : pixels.light;
}

cv::Vec3d meanLinearRgb(const cv::Mat& source, const LeafletPixels& pixels) {
    const cv::Mat counted = pixelsAwayFromEdge(pixels);
    if (counted.empty()) return {};
    const std::array<double, 256> linear = linearLightTable();
    cv::Vec3d sum(0, 0, 0);  // B, G, R
    long long count = 0;
    const cv::Mat scan = source(pixels.box);
    for (int y = 0; y < counted.rows; ++y) {
        const uchar* in = counted.ptr<uchar>(y);
        const cv::Vec3b* colour = scan.ptr<cv::Vec3b>(y);
        for (int x = 0; x < counted.cols; ++x) {
            if (!in[x]) continue;
            for (int c = 0; c < 3; ++c) sum[c] += linear[colour[x][c]];
            ++count;
        }
    }
    if (count == 0) return {};
    return cv::Vec3d(sum[2], sum[1], sum[0]) / static_cast<double>(count);
}

}  // namespace plantscan::leaflet
