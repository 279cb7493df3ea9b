#include "leaflet_crop/subpixel_outline.h"

#include "leaflet_crop/leaflet_colour.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <unordered_set>

namespace plantscan::leaflet {

namespace {

// How far on either side of the leaflet's pixel edge its values are read: the edge the
// threshold finds lies within a pixel or two of the one half-way up.
constexpr int BAND = 2;

// A cell is the square between four pixel centres; its corners and edges are numbered clockwise
// on screen from the top left, edge k running from corner k to corner k + 1.
const cv::Point CORNER[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
// The cell across edge k, and the number that edge has there.
const cv::Point ACROSS[4] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
constexpr int EDGE_THERE[4] = {2, 3, 0, 1};

// The pixels within BAND of a region's edges, over `rect`: its box and BAND + 1 pixels around.
struct Band {
    cv::Rect rect;
    cv::Mat near;                   // within BAND pixels of the region, itself included
    cv::Mat core;                   // BAND pixels inside it
    std::vector<cv::Point> pixels;  // near and not core, in rect's coordinates
};

// `mask`, over `box`, copied into an image over `rect`, a part of the scan around the box.
cv::Mat maskOver(const cv::Mat& mask, cv::Rect box, cv::Rect rect) {
    cv::Mat over = cv::Mat::zeros(rect.size(), CV_8U);
    mask.copyTo(over(cv::Rect(box.tl() - rect.tl(), box.size())));
    return over;
}

Band bandAround(const cv::Mat& region, cv::Rect box) {
    Band band;
    const int room = BAND + 1;
    band.rect = cv::Rect(box.x - room, box.y - room, box.width + 2 * room, box.height + 2 * room);
    const cv::Mat inside = maskOver(region, box, band.rect);
    const cv::Mat square = cv::Mat::ones(2 * BAND + 1, 2 * BAND + 1, CV_8U);
    cv::dilate(inside, band.near, square, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::erode(inside, band.core, square, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::Mat edge;
    cv::subtract(band.near, band.core, edge);
    if (cv::countNonZero(edge) > 0) cv::findNonZero(edge, band.pixels);
    return band;
}

// The values the lines are traced on: the scan's own within the band, beyond it far above the
// level inside the region and far below outside it and beyond the scan, so that a line reaching
// the band's border stops at its last pixel.
struct Field {
    const Band& band;
    cv::Rect scan;
    const ScanValue& value;
    float low, high;

    float at(cv::Point p) const {
        if (band.core.at<uchar>(p)) return high;
        const cv::Point inScan = p + band.rect.tl();
        if (!band.near.at<uchar>(p) || !scan.contains(inScan)) return low;
        return value(inScan);
    }
};

// One number per line between two neighbouring pixel centres of a field `width` wide.
std::uint64_t edgeId(cv::Point cell, int edge, int width) {
    const cv::Point from = cell + CORNER[edge], to = cell + CORNER[(edge + 1) % 4];
    const cv::Point first(std::min(from.x, to.x), std::min(from.y, to.y));
    return 2 * (static_cast<std::uint64_t>(first.y) * width + first.x) + (from.x == to.x ? 1 : 0);
}

// The line that follows, clockwise on screen around what lies above the level, from the
// crossing on edge `edge` of cell `start`, where the edge leaves a corner above the level for
// one below (clockwise). From an edge, to the next edge that crosses the level, clockwise: a
// corner below the level is cut off alone, so that corners above it that touch only diagonally
// stay joined. That edge leaves a corner above the level in the cell across it, which carries
// the line on.
std::vector<cv::Point2d> levelLine(const Field& field, float level, cv::Point start, int edge,
                                   std::unordered_set<std::uint64_t>& visited) {
    std::vector<cv::Point2d> line;
    cv::Point cell = start;
    int from = edge;
    do {
        float corner[4];
        for (int k = 0; k < 4; ++k) corner[k] = field.at(cell + CORNER[k]);
        int next = from;
        do next = (next + 1) % 4;
        while ((corner[next] > level) == (corner[(next + 1) % 4] > level));
        const double t = (static_cast<double>(level) - corner[next]) /
                         (static_cast<double>(corner[(next + 1) % 4]) - corner[next]);
        const cv::Point2d a = cell + CORNER[next], b = cell + CORNER[(next + 1) % 4];
        line.push_back(cv::Point2d(field.band.rect.tl()) + a + t * (b - a));
        visited.insert(edgeId(cell, next, field.band.rect.width));
        cell += ACROSS[next];
        from = EDGE_THERE[next];
    } while (!(cell == start && from == edge));
    return line;
}

// Marching squares, from every crossing next to a pixel of the band (the only place the level
// is crossed). A crossing between a pixel and the one right of it, or below it, is an edge of two
// cells, which run along it opposite ways: the line starts in the one that leaves the pixel
// above the level.
std::vector<std::vector<cv::Point2d>> levelLines(const Field& field, float level) {
    std::vector<std::vector<cv::Point2d>> lines;
    std::unordered_set<std::uint64_t> visited;
    for (const cv::Point& pixel : field.band.pixels) {
        const bool above = field.at(pixel) > level;
        for (const cv::Point step :
             {cv::Point(1, 0), cv::Point(0, 1), cv::Point(-1, 0), cv::Point(0, -1)}) {
            const cv::Point other = pixel + step;
            if ((field.at(other) > level) == above) continue;
            // u before w, left to right or top to bottom.
            const bool forward = step.x + step.y > 0;
            const cv::Point u = forward ? pixel : other;
            const bool uAbove = forward == above;
            cv::Point cell;
            int edge;
            if (step.y == 0) {
                cell = uAbove ? u : u - cv::Point(0, 1);
                edge = uAbove ? 0 : 2;
            } else {
                cell = uAbove ? u - cv::Point(1, 0) : u;
                edge = uAbove ? 1 : 3;
            }
            if (cell.x < 0 || cell.y < 0 || cell.x + 1 >= field.band.rect.width ||
                cell.y + 1 >= field.band.rect.height ||
                visited.count(edgeId(cell, edge, field.band.rect.width)))
                continue;
            lines.push_back(levelLine(field, level, cell, edge, visited));
        }
    }
    return lines;
}

double twiceSignedArea(const std::vector<cv::Point2d>& polygon) {
    double twice = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i)
        twice += polygon[i].cross(polygon[(i + 1) % polygon.size()]);
    return twice;
}

ScanValue luminanceOf(const cv::Mat& source, const std::array<double, 256>& linear) {
    return [&source, &linear](cv::Point p) {
        const cv::Vec3b colour = source.at<cv::Vec3b>(p);
        return static_cast<float>(
            luminanceOfLinear(linear[colour[2]], linear[colour[1]], linear[colour[0]]));
    };
}

std::vector<std::vector<cv::Point2d>> traceBand(const ScanValue& value, const Band& band,
                                                cv::Size scanSize, double level) {
    const Field field{band, cv::Rect(cv::Point(0, 0), scanSize), value,
                      static_cast<float>(level - 1e6), static_cast<float>(level + 1e6)};
    return levelLines(field, static_cast<float>(level));
}

// The mean luminance of the dark pixels of the band's rectangle beyond the band, outside the
// region: the background the leaflet lies on. 0 (black) when there are none.
double backgroundLuminance(const cv::Mat& source, const cv::Mat& blackAndWhite, const Band& band,
                           const std::array<double, 256>& linear) {
    const cv::Rect inScan = band.rect & cv::Rect(0, 0, source.cols, source.rows);
    double sum = 0;
    long long count = 0;
    for (int y = inScan.y; y < inScan.y + inScan.height; ++y) {
        const uchar* near = band.near.ptr<uchar>(y - band.rect.y);
        const uchar* light = blackAndWhite.ptr<uchar>(y);
        const cv::Vec3b* colour = source.ptr<cv::Vec3b>(y);
        for (int x = inScan.x; x < inScan.x + inScan.width; ++x)
            if (!near[x - band.rect.x] && !light[x]) {
                sum += luminanceOfLinear(linear[colour[x][2]], linear[colour[x][1]],
                                         linear[colour[x][0]]);
                ++count;
            }
    }
    return count > 0 ? sum / count : 0;
}

}  // namespace

std::vector<std::vector<cv::Point2d>> traceRegionEdge(const ScanValue& value, const cv::Mat& region,
                                                      cv::Rect box, cv::Size scanSize,
                                                      double level) {
    return traceBand(value, bandAround(region, box), scanSize, level);
}

SubPixelOutline traceSubPixelOutline(const cv::Mat& source, const cv::Mat& blackAndWhite,
                                     const LeafletPixels& pixels, double leafletLuminance) {
    if (pixels.light.empty() || cv::countNonZero(pixels.light) == 0) return {};
    const std::array<double, 256> linear = linearLightTable();
    const ScanValue luminance = luminanceOf(source, linear);
    const Band band = bandAround(pixels.inside, pixels.box);
    SubPixelOutline outline;
    outline.level =
        (leafletLuminance + backgroundLuminance(source, blackAndWhite, band, linear)) / 2;
    std::vector<std::vector<cv::Point2d>> lines =
        traceBand(luminance, band, source.size(), outline.level);
    // Without holes, the light pixels are the filled outline: the same lines.
    const bool holes = cv::countNonZero(pixels.inside) != cv::countNonZero(pixels.light);
    outline.area = clockwiseArea(
        holes ? traceRegionEdge(luminance, pixels.light, pixels.box, source.size(), outline.level)
              : lines);
    for (std::vector<cv::Point2d>& line : lines)
        if (twiceSignedArea(line) > 0) outline.lines.push_back(std::move(line));
    return outline;
}

double closedLength(const std::vector<std::vector<cv::Point2d>>& polygons) {
    double length = 0;
    for (const std::vector<cv::Point2d>& polygon : polygons)
        for (std::size_t i = 0; i < polygon.size(); ++i)
            length += cv::norm(polygon[(i + 1) % polygon.size()] - polygon[i]);
    return length;
}

double clockwiseArea(const std::vector<std::vector<cv::Point2d>>& polygons) {
    double twice = 0;
    for (const std::vector<cv::Point2d>& polygon : polygons) twice += twiceSignedArea(polygon);
    return twice / 2;
}

}  // namespace plantscan::leaflet
