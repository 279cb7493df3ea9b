// Cost of walking a contour's segments pixel by pixel: the walk along cv::line's pixels
// against drawing each segment on a zero image of the whole scan and scanning it.
#include "geometry/segment.h"
#include "tests/geometry/segment_pixels_reference.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace geometry = plantscan::geometry;
using namespace plantscan::geometry;

namespace {

using geometry::Segment;

// A closed wavy contour of `count` short segments across most of a 4000 x 4000 scan.
std::vector<cv::Point> contour(int count) {
    std::vector<cv::Point> points;
    for (int i = 0; i <= count; ++i) {
        const double t = 2 * CV_PI * i / count;
        const double r = 1500 * (1 - 0.15 * (1 + std::cos(5 * t)));
        points.emplace_back(static_cast<int>(2000 + r * std::cos(t)),
                            static_cast<int>(2000 + r * std::sin(t)));
    }
    return points;
}

template <typename Walk>
double secondsFor(const std::vector<cv::Point>& points, Walk walk, size_t& pixels) {
    const auto start = std::chrono::steady_clock::now();
    pixels = 0;
    for (size_t i = 1; i < points.size(); ++i)
        pixels += walk(Segment(points[i - 1], points[i])).size();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const cv::Size size(4000, 4000);
    const std::vector<cv::Point> points = contour(3000);
    size_t fastPixels = 0;
    size_t slowPixels = 0;
    const double fast = secondsFor(
        points, [&](const Segment& s) { return s.getAllPointsOfSegment(size); }, fastPixels);
    const double slow = secondsFor(
        points, [&](const Segment& s) { return pixelsByDrawing(s, size); }, slowPixels);
    std::printf("contour of %zu segments on a %d x %d image\n", points.size() - 1, size.width,
                size.height);
    std::printf("  walk along cv::line's pixels: %10.4f s (%zu pixels)\n", fast, fastPixels);
    std::printf("  draw on a whole zero image:   %10.4f s (%zu pixels)\n", slow, slowPixels);
    std::printf("  speed-up: %.0fx\n", slow / fast);
    return fastPixels == slowPixels ? 0 : 1;
}
