#include "subpixel_outline.h"

#include "leaflet_colour.h"

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
// How far out the background is read, in pixels: beyond the blur of the edge, still close.
constexpr int BACKGROUND_FROM = 3;
constexpr int BACKGROUND_TO = 6;

// A cell is the square between four pixel centres; its corners and edges are numbered clockwise
// on screen from the top left, edge k running from corner k to corner k + 1.
const cv::Point CORNER[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
// The cell across edge k, and the number that edge has there.
const cv::Point ACROSS[4] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
constexpr int EDGE_THERE[4] = {2, 3, 0, 1};

// The values the lines are traced on, over `rect` (a part of the scan): the scan's own near the
// region's edges, forced above or below the level beyond.
struct Field {
    cv::Rect rect;
    cv::Mat near, core;  // over rect: within BAND pixels of the region; BAND pixels inside it
    cv::Rect scan;
    const ScanValue& value;
    float low, high;

    float at(cv::Point p) const {
        if (core.at<uchar>(p)) return high;
        const cv::Point inScan = p + rect.tl();
        if (!near.at<uchar>(p) || !scan.contains(inScan)) return low;
        return value(inScan);
    }
};

// One number per line between two neighbouring pixel centres of a field `width` wide.
std::uint64_t edgeId(cv::Point cell, int edge, int width) {
    const cv::Point from = cell + CORNER[edge], to = cell + CORNER[(edge + 1) % 4];
    const cv::Point first(std::min(from.x, to.x), std::min(from.y, to.y));
    return 2 * (static_cast<std::uint64_t>(first.y) * width + first.x) + (from.x == to.x ? 1 : 0);
}

// Marching squares, from every cell with a corner in `band` (the only place the level is
// crossed). Along an edge of a cell that leaves a corner above the level for one below
// (clockwise), to the next edge that crosses the level, clockwise: a corner below the level is
// cut off alone, so that corners above it that touch only diagonally stay joined. That edge
// leaves a corner above the level in the cell across it, which carries the line on.
std::vector<std::vector<cv::Point2d>> levelLines(const Field& field,
                                                 const std::vector<cv::Point>& band, float level) {
    std::vector<std::vector<cv::Point2d>> lines;
    std::unordered_set<std::uint64_t> visited;
    auto above = [&](cv::Point cell, int corner) {
        return field.at(cell + CORNER[corner]) > level;
    };
    for (const cv::Point& pixel : band)
        for (const cv::Point start :
             {pixel - cv::Point(1, 1), pixel - cv::Point(0, 1), pixel - cv::Point(1, 0), pixel}) {
            if (start.x < 0 || start.y < 0 || start.x + 1 >= field.rect.width ||
                start.y + 1 >= field.rect.height)
                continue;
            for (int edge = 0; edge < 4; ++edge) {
                if (!above(start, edge) || above(start, (edge + 1) % 4) ||
                    visited.count(edgeId(start, edge, field.rect.width)))
                    continue;
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
                    line.push_back(cv::Point2d(field.rect.tl()) + a + t * (b - a));
                    visited.insert(edgeId(cell, next, field.rect.width));
                    cell += ACROSS[next];
                    from = EDGE_THERE[next];
                } while (!(cell == start && from == edge));
                lines.push_back(std::move(line));
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

// `mask`, over `box`, copied into an image over `rect`, a part of the scan around the box.
cv::Mat maskOver(const cv::Mat& mask, cv::Rect box, cv::Rect rect) {
    cv::Mat over = cv::Mat::zeros(rect.size(), CV_8U);
    mask.copyTo(over(cv::Rect(box.tl() - rect.tl(), box.size())));
    return over;
}

cv::Mat disc(int radius) {
    return cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * radius + 1, 2 * radius + 1));
}

ScanValue luminanceOf(const cv::Mat& source, const std::array<double, 256>& linear) {
    return [&source, &linear](cv::Point p) {
        const cv::Vec3b colour = source.at<cv::Vec3b>(p);
        return static_cast<float>(
            luminanceOfLinear(linear[colour[2]], linear[colour[1]], linear[colour[0]]));
    };
}

// The median luminance of the pixels of `mask` (over `rect`, within the scan), to within a
// 65536th; 0 when there is none.
double medianLuminance(const cv::Mat& source, const std::array<double, 256>& linear,
                       const cv::Mat& mask, cv::Rect rect) {
    constexpr int STEPS = 65535;
    // Each channel's share of the luminance in steps, so that a pixel costs three look-ups.
    std::array<std::array<int, 256>, 3> share;  // B, G, R
    for (int v = 0; v < 256; ++v)
        for (int c = 0; c < 3; ++c)
            share[c][v] = static_cast<int>(std::lround(SRGB_TO_XYZ[1][2 - c] * linear[v] * STEPS));
    std::vector<std::uint32_t> count(STEPS + 3, 0);
    std::uint64_t total = 0;
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* in = mask.ptr<uchar>(y);
        const cv::Vec3b* colour = source.ptr<cv::Vec3b>(rect.y + y) + rect.x;
        for (int x = 0; x < mask.cols; ++x)
            if (in[x]) {
                ++count[share[0][colour[x][0]] + share[1][colour[x][1]] + share[2][colour[x][2]]];
                ++total;
            }
    }
    if (total == 0) return 0;
    std::uint64_t below = 0;
    for (std::size_t step = 0; step < count.size(); ++step) {
        below += count[step];
        if (2 * below > total) return static_cast<double>(step) / STEPS;
    }
    return 1;
}

double edgeLevelOf(const cv::Mat& source, const std::array<double, 256>& linear,
                   const cv::Mat& blackAndWhite, const LeafletPixels& pixels) {
    const double leaflet = medianLuminance(source, linear, pixelsAwayFromEdge(pixels), pixels.box);

    // The ring within the scan: the rectangle around the box clipped to it.
    const cv::Rect around(pixels.box.x - BACKGROUND_TO, pixels.box.y - BACKGROUND_TO,
                          pixels.box.width + 2 * BACKGROUND_TO,
                          pixels.box.height + 2 * BACKGROUND_TO);
    const cv::Mat inside = maskOver(pixels.inside, pixels.box, around);
    cv::Mat ring, tooClose;
    cv::dilate(inside, ring, disc(BACKGROUND_TO));
    cv::dilate(inside, tooClose, disc(BACKGROUND_FROM - 1));
    ring.setTo(0, tooClose);
    const cv::Rect inScan = around & cv::Rect(0, 0, blackAndWhite.cols, blackAndWhite.rows);
    cv::Mat ringInScan = ring(inScan - around.tl()).clone();
    ringInScan.setTo(0, blackAndWhite(inScan));
    return (leaflet + medianLuminance(source, linear, ringInScan, inScan)) / 2;
}

}  // namespace

std::vector<std::vector<cv::Point2d>> traceRegionEdge(const ScanValue& value, const cv::Mat& region,
                                                      cv::Rect box, cv::Size scanSize,
                                                      double level) {
    const int room = BAND + 1;
    const cv::Rect rect(box.x - room, box.y - room, box.width + 2 * room, box.height + 2 * room);
    const cv::Mat inside = maskOver(region, box, rect);
    const cv::Mat square = cv::Mat::ones(2 * BAND + 1, 2 * BAND + 1, CV_8U);
    // Far from the level, so that a line reaching the band's border stops at its last pixel.
    Field field{rect,
                {},
                {},
                cv::Rect(cv::Point(0, 0), scanSize),
                value,
                static_cast<float>(level - 1e6),
                static_cast<float>(level + 1e6)};
    cv::dilate(inside, field.near, square, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
               cv::Scalar(0));
    cv::erode(inside, field.core, square, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::Mat inBand = field.near.clone();
    inBand.setTo(0, field.core);
    std::vector<cv::Point> band;
    if (cv::countNonZero(inBand) > 0) cv::findNonZero(inBand, band);
    return levelLines(field, band, static_cast<float>(level));
}

double edgeLevel(const cv::Mat& source, const cv::Mat& blackAndWhite, const LeafletPixels& pixels) {
    return edgeLevelOf(source, linearLightTable(), blackAndWhite, pixels);
}

SubPixelOutline traceSubPixelOutline(const cv::Mat& source, const cv::Mat& blackAndWhite,
                                     const LeafletPixels& pixels) {
    if (pixels.light.empty() || cv::countNonZero(pixels.light) == 0) return {};
    const std::array<double, 256> linear = linearLightTable();
    const ScanValue luminance = luminanceOf(source, linear);
    const double level = edgeLevelOf(source, linear, blackAndWhite, pixels);
    SubPixelOutline outline;
    for (std::vector<cv::Point2d>& line :
         traceRegionEdge(luminance, pixels.inside, pixels.box, source.size(), level))
        if (twiceSignedArea(line) > 0) outline.lines.push_back(std::move(line));
    outline.area =
        clockwiseArea(traceRegionEdge(luminance, pixels.light, pixels.box, source.size(), level));
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
