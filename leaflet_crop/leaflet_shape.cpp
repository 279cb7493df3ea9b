#include "leaflet_crop/leaflet_shape.h"

#include "leaflet_crop/subpixel_outline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace plantscan::leaflet {

namespace {

constexpr double PI = 3.14159265358979323846;

// Twice the signed area of the triangle a, b, c.
double turn(cv::Point2d a, cv::Point2d b, cv::Point2d c) { return (b - a).cross(c - a); }

}  // namespace

std::vector<cv::Point2d> convexHullOf(std::vector<cv::Point2d> points) {
    std::sort(points.begin(), points.end(),
              [](cv::Point2d p, cv::Point2d q) { return p.x < q.x || (p.x == q.x && p.y < q.y); });
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.size() < 3) return points;
    // Andrew's monotone chain: the lower chain, then the upper one.
    std::vector<cv::Point2d> hull(2 * points.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && turn(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    return hull;
}

FeretDiameters feretDiameters(const std::vector<cv::Point2d>& hull) {
    const std::size_t n = hull.size();
    if (n < 2) return {};
    if (n == 2) {
        FeretDiameters feret;
        feret.longest = cv::norm(hull[1] - hull[0]);
        feret.longestEnds[0] = feret.narrowestSide[0] = hull[0];
        feret.longestEnds[1] = feret.narrowestSide[1] = feret.narrowestOpposite = hull[1];
        return feret;
    }
    // For each edge, the vertex farthest from its line: the width across that edge, and the
    // pairs the longest distance is found among. That vertex only moves forward.
    FeretDiameters feret;
    feret.shortest = std::numeric_limits<double>::infinity();
    std::size_t far = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const cv::Point2d a = hull[i], b = hull[(i + 1) % n];
        while (turn(a, b, hull[(far + 1) % n]) > turn(a, b, hull[far])) far = (far + 1) % n;
        const double width = turn(a, b, hull[far]) / cv::norm(b - a);
        if (width < feret.shortest) {
            feret.shortest = width;
            feret.narrowestSide[0] = a;
            feret.narrowestSide[1] = b;
            feret.narrowestOpposite = hull[far];
        }
        for (const cv::Point2d end : {a, b})
            if (cv::norm(hull[far] - end) > feret.longest) {
                feret.longest = cv::norm(hull[far] - end);
                feret.longestEnds[0] = end;
                feret.longestEnds[1] = hull[far];
            }
    }
    return feret;
}

double circularity(double area, double perimeter) {
    return perimeter > 0 ? 4 * PI * area / (perimeter * perimeter) : 0;
}

double solidity(double area, double hullArea) { return hullArea > 0 ? area / hullArea : 0; }

LeafletShape measureLeafletShape(const cv::Mat& source, const cv::Mat& blackAndWhite,
                                 const std::vector<cv::Point>& outline) {
    const LeafletPixels pixels = leafletPixels(blackAndWhite, outline);
    LeafletShape shape;
    if (pixels.light.empty()) return shape;
    const cv::Vec3d light = meanLinearRgb(source, pixels);
    shape.colour = cieLabFromLinearRgb(light[0], light[1], light[2]);
    const SubPixelOutline traced = traceSubPixelOutline(
        source, blackAndWhite, pixels, luminanceOfLinear(light[0], light[1], light[2]));
    std::vector<cv::Point2d> points;
    for (const std::vector<cv::Point2d>& line : traced.lines)
        points.insert(points.end(), line.begin(), line.end());
    const std::vector<cv::Point2d> hull = convexHullOf(points);
    shape.area = traced.area;
    shape.perimeter = closedLength(traced.lines);
    const FeretDiameters feret = feretDiameters(hull);
    shape.feretMax = feret.longest;
    shape.feretMin = feret.shortest;
    shape.circularity = circularity(shape.area, shape.perimeter);
    shape.solidity = solidity(shape.area, std::abs(clockwiseArea({hull})));
    return shape;
}

}  // namespace plantscan::leaflet
