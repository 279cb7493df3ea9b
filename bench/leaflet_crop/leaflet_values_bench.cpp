// How well the leaflets' values come out on shapes of known size drawn as a scanner gives them:
// the perimeter estimators side by side (the one the library uses and the ones it was chosen
// over), then every value the library measures, then the colour against the margin left
// along the edge. Prints the tables of docs/leaflet_batch.md; given a file name, draws there the
// picture of its lengths (docs/leaflet_lengths.png).
#include "leaflet_crop/detection.h"
#include "leaflet_crop/leaflet_shape.h"
#include "leaflet_crop/leaflet_size.h"
#include "leaflet_crop/subpixel_outline.h"
#include "support/drawn_shapes.h"
#include "tools/scan_synth.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace plantscan::leaflet;
using namespace plantscan::tools;

namespace {

using namespace test_support;
namespace leaflet = plantscan::leaflet;

constexpr double PI = 3.14159265358979323846;

// The leaflet a drawn scan holds: the largest outline found, as the programs find it.
struct Found {
    cv::Mat scan, gray, blackAndWhite;
    std::vector<cv::Point> outline;
    cv::RotatedRect fitted;
};

Found find(const cv::Mat& scan) {
    Found found;
    found.scan = scan;
    cv::cvtColor(scan, found.gray, cv::COLOR_BGR2GRAY);
    found.blackAndWhite = binarizeScan(scan, [](const std::string&, const cv::Mat&) {});
    const LeafletBoxes boxes = findLeafletBoxes(found.blackAndWhite);
    double largest = -1;
    for (std::size_t i = 0; i < boxes.outlines.size(); ++i) {
        const double area = cv::contourArea(boxes.outlines[i]);
        if (area > largest) {
            largest = area;
            found.outline = boxes.outlines[i];
            found.fitted = boxes.fitted[i];
        }
    }
    return found;
}

// Every pixel of the outline, one 8-connected step after another.
std::vector<cv::Point> steps(const std::vector<cv::Point>& outline) {
    std::vector<cv::Point> dense;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        cv::Point p = outline[i];
        const cv::Point q = outline[(i + 1) % outline.size()];
        do {
            dense.push_back(p);
            p += cv::Point((q.x > p.x) - (q.x < p.x), (q.y > p.y) - (q.y < p.y));
        } while (p != q);
    }
    return dense;
}

// Vossepoel and Smeulders (1982): straight and diagonal steps and the changes of direction,
// weighted for the least error on straight lines at every angle.
double chainCodeLength(const std::vector<cv::Point>& outline) {
    const std::vector<cv::Point> dense = steps(outline);
    const std::size_t n = dense.size();
    double straight = 0, diagonal = 0, corners = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const cv::Point step = dense[(i + 1) % n] - dense[i];
        const cv::Point after = dense[(i + 2) % n] - dense[(i + 1) % n];
        (step.x != 0 && step.y != 0 ? diagonal : straight) += 1;
        if (step != after) corners += 1;
    }
    return 0.980 * straight + 1.406 * diagonal - 0.091 * corners;
}

// A closed line smoothed along itself by a Gaussian of `sigma` points.
std::vector<cv::Point2d> smoothed(const std::vector<cv::Point2d>& line, double sigma) {
    const int n = static_cast<int>(line.size());
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    std::vector<double> weight;
    double total = 0;
    for (int k = -reach; k <= reach; ++k) {
        weight.push_back(std::exp(-k * k / (2 * sigma * sigma)));
        total += weight.back();
    }
    std::vector<cv::Point2d> smooth(n);
    for (int i = 0; i < n; ++i) {
        cv::Point2d sum(0, 0);
        for (int k = -reach; k <= reach; ++k)
            sum += weight[k + reach] * line[((i + k) % n + n) % n];
        smooth[i] = sum / total;
    }
    return smooth;
}

// The pixel outline smoothed along itself by a Gaussian of `sigma` steps, then measured.
double smoothedLength(const std::vector<cv::Point>& outline, double sigma) {
    const std::vector<cv::Point> dense = steps(outline);
    return leaflet::closedLength({smoothed({dense.begin(), dense.end()}, sigma)});
}

// The sub-pixel outline as measureLeafletShape traces it.
leaflet::SubPixelOutline traced(const cv::Mat& scan, const cv::Mat& blackAndWhite,
                                const LeafletPixels& pixels) {
    const cv::Vec3d light = leaflet::meanLinearRgb(scan, pixels);
    return leaflet::traceSubPixelOutline(scan, blackAndWhite, pixels,
                                         leaflet::luminanceOfLinear(light[0], light[1], light[2]));
}

// The threshold's own line: where the gray image crosses 50.5, between the darkest light
// value and the lightest dark one.
double thresholdLineLength(const Found& found) {
    const LeafletPixels pixels = leafletPixels(found.blackAndWhite, found.outline);
    const leaflet::ScanValue gray = [&](cv::Point p) {
        return static_cast<float>(found.gray.at<uchar>(p));
    };
    std::vector<std::vector<cv::Point2d>> outer;
    for (const auto& line :
         leaflet::traceRegionEdge(gray, pixels.inside, pixels.box, found.gray.size(), 50.5))
        if (leaflet::clockwiseArea({line}) > 0) outer.push_back(line);
    return leaflet::closedLength(outer);
}

double midLevelLength(const Found& found) {
    return leaflet::closedLength(
        traced(found.scan, found.blackAndWhite, leafletPixels(found.blackAndWhite, found.outline))
            .lines);
}

struct Case {
    std::string name;
    DrawnShape shape;
};

std::string mm(double pixels) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", pixels / PIXELS_PER_MM);
    return text;
}

cv::Point2d at(double x, double y) { return {x, y}; }

std::vector<Case> smoothCases() {
    std::vector<Case> cases;
    for (const double across : {3.0, 6.0, 12.0, 25.0, 50.0}) {
        const double r = across * PIXELS_PER_MM / 2;
        cases.push_back({"disc " + mm(2 * r) + " mm", disc(at(0.37, 0.61), r)});
    }
    for (const double across : {4.0, 10.0, 50.0})
        for (const double degrees : {0.0, 17.0, 45.0}) {
            const double a = across * PIXELS_PER_MM / 2;
            cases.push_back({"ellipse " + mm(2 * a) + " x " + mm(a) + " mm, " +
                                 std::to_string(static_cast<int>(degrees)) + " deg",
                             ellipse(at(0.23, 0.48), a, a / 2, degrees)});
        }
    for (const double degrees : {0.0, 17.0, 45.0, 63.5})
        for (const double length : {5.0, 40.0}) {
            char name[80];
            std::snprintf(name, sizeof name, "rectangle %.0f x %.0f mm, %.1f deg", length,
                          length * 0.4, degrees);
            cases.push_back({name, rectangle(at(0.71, 0.14), length * PIXELS_PER_MM,
                                             0.4 * length * PIXELS_PER_MM, degrees)});
        }
    return cases;
}

std::vector<Case> roughCases() {
    const double a = 12 * PIXELS_PER_MM, b = 5 * PIXELS_PER_MM;
    std::vector<Case> cases;
    // Teeth as a leaf margin has them: coarse (1 mm deep every 2.5 mm), fine (0.3 mm every
    // 0.8 mm), very fine (0.1 mm every 0.4 mm).
    const struct {
        const char* name;
        double every, deep;
    } kinds[] = {{"coarse", 2.5, 1.0}, {"fine", 0.8, 0.3}, {"very fine", 0.4, 0.1}};
    for (const auto& kind : kinds) {
        const double perimeterMm = 2 * PI * std::sqrt((12.0 * 12 + 5.0 * 5) / 2);
        const int teeth = static_cast<int>(perimeterMm / kind.every);
        char name[96];
        std::snprintf(name, sizeof name, "serrated 24 x 10 mm, %s: %d teeth %.1f mm deep",
                      kind.name, teeth, kind.deep);
        cases.push_back({name, serrated(at(0.4, 0.3), a, b, 20, teeth, kind.deep * PIXELS_PER_MM)});
    }
    Leaf leaf;
    leaf.center = {0.3, 0.7};
    leaf.length = 30 * PIXELS_PER_MM;
    leaf.width = 12 * PIXELS_PER_MM;
    leaf.angleDeg = 25;
    cases.push_back(
        {"leaf outline 30 x 12 mm (scan_generator's)", polygonShape("leaf", leafPolygon(leaf))});
    return cases;
}

Found drawnAndFound(const DrawnShape& shape, const ScanLook& look = {}) {
    cv::Size size;
    const DrawnShape moved = placed(shape, 12, size);
    return find(drawLikeAScan(moved, size, look));
}

std::string percent(double measured, double truth) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f %%", 100 * (measured - truth) / truth);
    return text;
}

std::vector<Case> allCases() {
    std::vector<Case> cases = smoothCases();
    const std::vector<Case> rough = roughCases();
    cases.insert(cases.end(), rough.begin(), rough.end());
    const double p = PIXELS_PER_MM;
    cases.push_back({"disc 16 mm with a hole of 6 mm",
                     withHole(disc(at(0.5, 0.5), 8 * p), disc(at(1.2, 0.3), 3 * p))});
    // A notch 6 x 3 mm into a long side of a 20 x 8 mm rectangle.
    cases.push_back(
        {"rectangle 20 x 8 mm, a 6 x 3 mm notch",
         polygonShape("notched",
                      {at(0.3, 0.6), at(20 * p, 0.6), at(20 * p, 8 * p), at(13 * p, 8 * p),
                       at(13 * p, 5 * p), at(7 * p, 5 * p), at(7 * p, 8 * p), at(0.3, 8 * p)})});
    return cases;
}

void comparePerimeters(const std::vector<Case>& cases) {
    std::printf(
        "| Shape | True (mm) | 8-connected steps | Vossepoel-Smeulders | smoothed, "
        "sigma 2 | smoothed, sigma 4 | iso-line at the threshold | iso-line half-way |\n"
        "|---|---|---|---|---|---|---|---|\n");
    for (const Case& c : cases) {
        const Found found = drawnAndFound(c.shape);
        const double truth = c.shape.perimeter;
        std::printf("| %s | %.2f | %s | %s | %s | %s | %s | %s |\n", c.name.c_str(),
                    truth / PIXELS_PER_MM,
                    percent(cv::arcLength(found.outline, true), truth).c_str(),
                    percent(chainCodeLength(found.outline), truth).c_str(),
                    percent(smoothedLength(found.outline, 2), truth).c_str(),
                    percent(smoothedLength(found.outline, 4), truth).c_str(),
                    percent(thresholdLineLength(found), truth).c_str(),
                    percent(midLevelLength(found), truth).c_str());
        std::fflush(stdout);
    }
}

// "true -> measured", in mm or mm^2 (`scale` per pixel or pixel^2) or without a unit.
std::string against(double truth, double measured, double scale = 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f → %.3f", truth * scale, measured * scale);
    return text;
}

double deltaE(const leaflet::CieLab& p, const leaflet::CieLab& q) {
    return std::sqrt((p.lightness - q.lightness) * (p.lightness - q.lightness) +
                     (p.a - q.a) * (p.a - q.a) + (p.b - q.b) * (p.b - q.b));
}

void everyValue(const std::vector<Case>& cases) {
    std::printf(
        "\n| Shape | Area (mm²), pixels counted | Area (mm²) | Perimeter (mm) | Feret max (mm) | "
        "Feret min (mm) | Circularity | Solidity | Colour, Delta E |\n"
        "|---|---|---|---|---|---|---|---|---|\n");
    const double mm = 1 / PIXELS_PER_MM;
    const ScanLook look;
    const leaflet::CieLab drawn =
        leaflet::cieLabFromSrgb(static_cast<int>(look.colour[2]), static_cast<int>(look.colour[1]),
                                static_cast<int>(look.colour[0]));
    for (const Case& c : cases) {
        const Found found = drawnAndFound(c.shape, look);
        const LeafletSize size = measureLeaflet(found.blackAndWhite, found.outline, found.fitted);
        const leaflet::LeafletShape shape =
            leaflet::measureLeafletShape(found.scan, found.blackAndWhite, found.outline);
        const DrawnShape& t = c.shape;
        std::printf(
            "| %s | %s | %s | %s | %s | %s | %s | %s | %.2f |\n", c.name.c_str(),
            against(t.area, static_cast<double>(size.area), mm * mm).c_str(),
            against(t.area, shape.area, mm * mm).c_str(),
            against(t.perimeter, shape.perimeter, mm).c_str(),
            against(t.feretMax, shape.feretMax, mm).c_str(),
            against(t.feretMin, shape.feretMin, mm).c_str(),
            against(4 * PI * t.area / (t.perimeter * t.perimeter), shape.circularity).c_str(),
            against(t.area / t.hullArea, shape.solidity).c_str(), deltaE(shape.colour, drawn));
        std::fflush(stdout);
    }
}

cv::Mat throughJpeg(const cv::Mat& scan, int quality) {
    std::vector<uchar> bytes;
    cv::imencode(".jpg", scan, bytes, {cv::IMWRITE_JPEG_QUALITY, quality});
    return cv::imdecode(bytes, cv::IMREAD_COLOR);
}

struct Look {
    std::string name;
    ScanLook look;
    int jpegQuality = 0;  // 0: not through JPEG
};

std::vector<Look> looks() {
    std::vector<Look> all;
    all.push_back({"as in the tables above", {}});
    ScanLook look;
    look.blur = 0;
    all.push_back({"no blur", look});
    look = {};
    look.blur = 0.9;
    all.push_back({"blur 0.9", look});
    look = {};
    look.noise = 5;
    all.push_back({"noise 5", look});
    look = {};
    look.colour = cv::Scalar(60, 75, 70);
    all.push_back({"dark leaflet (gray 72)", look});
    look = {};
    look.colour = cv::Scalar(225, 240, 235);
    all.push_back({"pale leaflet (gray 236)", look});
    look = {};
    look.mixLight = false;
    all.push_back({"edges mixed in sRGB values", look});
    all.push_back({"through JPEG, quality 90", {}, 90});
    look = {};
    look.shareEdges = false;
    look.blur = 0;
    all.push_back(
        {"aliased edges, no blur (as scan_generator draws its leaves; no scanner does)", look});
    return all;
}

// The chosen estimator against the others where the scan changes: blur, noise, contrast, how the
// edge pixels mix, JPEG.
void underOtherScans() {
    const double p = PIXELS_PER_MM;
    const std::vector<Case> cases = {
        {"disc 3 mm", disc(at(0.37, 0.61), 1.5 * p)},
        {"rectangle 5 x 2 mm, 17 deg", rectangle(at(0.71, 0.14), 5 * p, 2 * p, 17)},
        roughCases()[1],
    };
    std::printf(
        "\n| Scan | Shape | V-S | iso-line at the threshold | iso-line half-way | "
        "area, pixels | area, half-way |\n|---|---|---|---|---|---|---|\n");
    for (const Look& look : looks())
        for (const Case& c : cases) {
            cv::Size size;
            const DrawnShape moved = placed(c.shape, 12, size);
            cv::Mat scan = drawLikeAScan(moved, size, look.look);
            if (look.jpegQuality > 0) scan = throughJpeg(scan, look.jpegQuality);
            const Found found = find(scan);
            const LeafletPixels pixels = leafletPixels(found.blackAndWhite, found.outline);
            const leaflet::SubPixelOutline outline =
                traced(found.scan, found.blackAndWhite, pixels);
            std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", look.name.c_str(), c.name.c_str(),
                        percent(chainCodeLength(found.outline), c.shape.perimeter).c_str(),
                        percent(thresholdLineLength(found), c.shape.perimeter).c_str(),
                        percent(leaflet::closedLength(outline.lines), c.shape.perimeter).c_str(),
                        percent(cv::countNonZero(pixels.light), c.shape.area).c_str(),
                        percent(outline.area, c.shape.area).c_str());
            std::fflush(stdout);
        }
}

// The mean colour with `margin` pixels of the edge left out.
leaflet::CieLab colourAway(const Found& found, int margin) {
    const LeafletPixels pixels = leafletPixels(found.blackAndWhite, found.outline);
    cv::Mat away = pixels.light;
    if (margin > 0)
        cv::erode(
            pixels.light, away,
            cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * margin + 1, 2 * margin + 1)),
            cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    const std::array<double, 256> linear = leaflet::linearLightTable();
    double sum[3] = {0, 0, 0};
    double count = 0;
    for (int y = 0; y < away.rows; ++y)
        for (int x = 0; x < away.cols; ++x) {
            if (!away.at<uchar>(y, x)) continue;
            const cv::Vec3b c = found.scan.at<cv::Vec3b>(pixels.box.tl() + cv::Point(x, y));
            for (int k = 0; k < 3; ++k) sum[k] += linear[c[k]];
            ++count;
        }
    return leaflet::cieLabFromLinearRgb(sum[2] / count, sum[1] / count, sum[0] / count);
}

// Delta E of the mean colour from the colour drawn, against the margin left along the edge.
void colourAgainstMargin() {
    const double p = PIXELS_PER_MM;
    const struct {
        const char* name;
        cv::Scalar bgr;
    } colours[] = {{"red petal (220, 40, 40)", {40, 40, 220}},
                   {"leaf green (60, 150, 70)", {70, 150, 60}},
                   {"pale yellow (240, 230, 120)", {120, 230, 240}}};
    std::printf(
        "\n| Colour (sRGB) | Disc | Scan | margin 0 | 1 | 2 | 3 | 5 |\n"
        "|---|---|---|---|---|---|---|---|\n");
    for (const auto& colour : colours)
        for (const double across : {3.0, 12.0})
            for (const int quality : {0, 90}) {
                ScanLook look;
                look.colour = colour.bgr;
                cv::Size size;
                const DrawnShape moved = placed(disc(at(0.37, 0.61), across / 2 * p), 12, size);
                cv::Mat scan = drawLikeAScan(moved, size, look);
                if (quality > 0) scan = throughJpeg(scan, quality);
                const Found found = find(scan);
                const leaflet::CieLab truth = leaflet::cieLabFromSrgb(
                    static_cast<int>(colour.bgr[2]), static_cast<int>(colour.bgr[1]),
                    static_cast<int>(colour.bgr[0]));
                std::printf("| %s | %.0f mm | %s |", colour.name, across,
                            quality > 0 ? "JPEG 90" : "as drawn");
                for (const int margin : {0, 1, 2, 3, 5})
                    std::printf(" %.2f |", deltaE(colourAway(found, margin), truth));
                std::printf("\n");
                std::fflush(stdout);
            }
}

// Text centred on `at`.
void label(cv::Mat& picture, const std::string& text, cv::Point2d at, cv::Scalar colour) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, 0.55, 1, &baseline);
    // Dark around the letters, to be read over the leaf.
    for (const auto& [ink, thickness] :
         {std::pair(cv::Scalar(20, 20, 20), 4), std::pair(colour, 1)})
        cv::putText(picture, text, cv::Point(at) + cv::Point(-size.width / 2, size.height / 2),
                    cv::FONT_HERSHEY_SIMPLEX, 0.55, ink, thickness, cv::LINE_AA);
}

void line(cv::Mat& picture, cv::Point2d a, cv::Point2d b, cv::Scalar colour, int thickness = 2) {
    constexpr int SHIFT = 4;
    cv::line(picture, cv::Point(a * (1 << SHIFT)), cv::Point(b * (1 << SHIFT)), colour, thickness,
             cv::LINE_AA, SHIFT);
}

// One leaflet with every length drawn on it: the perimeter (its outline), the length and width
// (its minimum-area rectangle), Feret max and Feret min.
void drawLengths(const std::string& file) {
    // A leaf leaning to one side, so that no two lengths coincide.
    Leaf leaf;
    leaf.length = 560;
    leaf.width = 230;
    std::vector<cv::Point2d> lopsided = leafPolygon(leaf);
    for (cv::Point2d& p : lopsided) p = {p.x + 0.45 * p.y + 0.3 * p.y * p.x / 280, p.y};
    ScanLook look;
    look.noise = 0;
    look.colour = cv::Scalar(70, 160, 90);
    cv::Size size;
    const DrawnShape shape = placed(polygonShape("leaf", lopsided), 70, size);
    const Found found = find(drawLikeAScan(shape, {size.width, size.height + 90}, look));
    const LeafletPixels pixels = leafletPixels(found.blackAndWhite, found.outline);
    const leaflet::SubPixelOutline outline = traced(found.scan, found.blackAndWhite, pixels);
    std::vector<cv::Point2d> points;
    for (const auto& l : outline.lines) points.insert(points.end(), l.begin(), l.end());
    const leaflet::FeretDiameters feret = leaflet::feretDiameters(leaflet::convexHullOf(points));

    cv::Mat picture = found.scan.clone();
    const cv::Scalar yellow(0, 230, 255), blue(255, 170, 60), red(60, 60, 255),
        magenta(255, 80, 255), white(255, 255, 255);
    for (const auto& l : outline.lines)
        for (std::size_t i = 0; i < l.size(); ++i)
            line(picture, l[i], l[(i + 1) % l.size()], yellow);

    cv::Point2f corners[4];
    found.fitted.points(corners);
    for (int k = 0; k < 4; ++k) line(picture, corners[k], corners[(k + 1) % 4], blue);
    // Two sides that meet, one long and one short, labelled just outside their middles.
    const cv::Point2d centre = found.fitted.center;
    const cv::Point2d first = cv::Point2d(corners[1]) - cv::Point2d(corners[0]),
                      second = cv::Point2d(corners[2]) - cv::Point2d(corners[1]);
    for (int k = 0; k < 2; ++k) {
        const cv::Point2d middle = (cv::Point2d(corners[k]) + cv::Point2d(corners[k + 1])) / 2;
        const cv::Point2d out = (middle - centre) / cv::norm(middle - centre);
        const bool longer = (k == 0) == (cv::norm(first) >= cv::norm(second));
        label(picture, longer ? "length" : "width", middle + 40 * out, blue);
    }

    line(picture, feret.longestEnds[0], feret.longestEnds[1], red);
    label(picture, "Feret max",
          0.3 * feret.longestEnds[0] + 0.7 * feret.longestEnds[1] + cv::Point2d(0, -14), red);

    // The two parallel lines at their narrowest, and the gap between them.
    const cv::Point2d a = feret.narrowestSide[0], b = feret.narrowestSide[1];
    const cv::Point2d along = (b - a) / cv::norm(b - a);
    const cv::Point2d foot = a + along * along.dot(feret.narrowestOpposite - a);
    for (const cv::Point2d through : {foot, feret.narrowestOpposite}) {
        line(picture, through - 330 * along, through + 330 * along, magenta, 1);
    }
    line(picture, foot, feret.narrowestOpposite, magenta);
    label(picture, "Feret min", 0.25 * foot + 0.75 * feret.narrowestOpposite + cv::Point2d(48, 0),
          magenta);

    // A millimetre at 1200 dpi, and what each colour is.
    const cv::Point2d bar(picture.cols - 90, 30);
    line(picture, bar, bar + cv::Point2d(PIXELS_PER_MM, 0), white);
    label(picture, "1 mm", bar + cv::Point2d(PIXELS_PER_MM / 2, 16), white);
    const std::pair<const char*, cv::Scalar> legend[] = {
        {"perimeter: the length of the outline", yellow},
        {"length, width: the sides of the smallest rectangle around it", blue},
        {"Feret max: the longest distance between two points of the outline", red},
        {"Feret min: the narrowest gap between two parallel lines holding it", magenta}};
    for (int i = 0; i < 4; ++i)
        cv::putText(picture, legend[i].first, cv::Point(12, picture.rows - 78 + 22 * i),
                    cv::FONT_HERSHEY_SIMPLEX, 0.55, legend[i].second, 1, cv::LINE_AA);
    cv::imwrite(file, picture);
    std::printf(
        "\nDrawn in %s: length %.1f, width %.1f, Feret max %.1f, Feret min %.1f, "
        "perimeter %.1f pixels\n",
        file.c_str(), std::max(found.fitted.size.width, found.fitted.size.height),
        std::min(found.fitted.size.width, found.fitted.size.height), feret.longest, feret.shortest,
        leaflet::closedLength(outline.lines));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        drawLengths(argv[1]);
        return 0;
    }
    const std::vector<Case> cases = allCases();
    comparePerimeters(cases);
    everyValue(cases);
    underOtherScans();
    colourAgainstMargin();
    return 0;
}
