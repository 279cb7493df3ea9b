#include "support/drawn_shapes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <utility>

namespace test_support {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int SAMPLE_LINES = 32;  // per pixel, down

cv::Point2d turned(cv::Point2d p, double degrees) {
    const double a = degrees * PI / 180;
    return {p.x * std::cos(a) + p.y * std::sin(a), -p.x * std::sin(a) + p.y * std::cos(a)};
}

double length(const std::vector<cv::Point2d>& polygon) {
    double sum = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i)
        sum += cv::norm(polygon[(i + 1) % polygon.size()] - polygon[i]);
    return sum;
}

double area(const std::vector<cv::Point2d>& polygon) {
    double twice = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i)
        twice += polygon[i].cross(polygon[(i + 1) % polygon.size()]);
    return std::abs(twice) / 2;
}

// Gift wrapping: from the leftmost point, each time the point that leaves every other on one
// side (the farthest of those in line).
std::vector<cv::Point2d> wrapped(const std::vector<cv::Point2d>& points) {
    const std::size_t n = points.size();
    std::size_t start = 0;
    for (std::size_t i = 1; i < n; ++i)
        if (points[i].x < points[start].x ||
            (points[i].x == points[start].x && points[i].y < points[start].y))
            start = i;
    std::vector<cv::Point2d> hull;
    std::size_t p = start;
    do {
        hull.push_back(points[p]);
        std::size_t q = (p + 1) % n;
        for (std::size_t r = 0; r < n; ++r) {
            const double side = (points[q] - points[p]).cross(points[r] - points[p]);
            if (side < 0 ||
                (side == 0 && cv::norm(points[r] - points[p]) > cv::norm(points[q] - points[p])))
                q = r;
        }
        p = q;
    } while (p != start && hull.size() <= n);
    return hull;
}

std::vector<cv::Point2d> ellipsePoints(cv::Point2d centre, double a, double b, double degrees) {
    const int n = std::max(64, static_cast<int>(std::ceil(2 * PI * a / 0.5)));
    std::vector<cv::Point2d> points;
    for (int k = 0; k < n; ++k) {
        const double t = 2 * PI * k / n;
        points.push_back(centre + turned({a * std::cos(t), b * std::sin(t)}, degrees));
    }
    return points;
}

// Adds `weight` times the part of each pixel's width that [from, to) covers to `row`, the
// pixels wholly covered through `whole` (differences, summed once the row is done).
void addSpan(double from, double to, double weight, std::vector<double>& row,
             std::vector<double>& whole) {
    const int width = static_cast<int>(row.size());
    from = std::max(from, -0.5);
    to = std::min(to, width - 0.5);
    if (!(from < to)) return;
    const int first = static_cast<int>(std::floor(from + 0.5));
    const int last = std::min(width - 1, static_cast<int>(std::floor(to + 0.5)));
    if (first == last) {
        row[first] += (to - from) * weight;
        return;
    }
    row[first] += (first + 0.5 - from) * weight;
    row[last] += (to - (last - 0.5)) * weight;
    whole[first + 1] += weight;
    whole[last] -= weight;
}

double linearLight(double srgb) {
    const double c = srgb / 255;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double srgbValue(double linear) {
    const double c =
        linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return 255 * c;
}

}  // namespace

DrawnShape disc(cv::Point2d centre, double radius) {
    DrawnShape shape = ellipse(centre, radius, radius, 0);
    shape.name = "disc";
    shape.perimeter = 2 * PI * radius;
    return shape;
}

DrawnShape ellipse(cv::Point2d centre, double a, double b, double degrees) {
    DrawnShape shape;
    shape.name = "ellipse";
    shape.outline = ellipsePoints(centre, a, b, degrees);
    shape.area = shape.hullArea = PI * a * b;
    // Ramanujan's second formula: far below a pixel's error at these sizes.
    const double h = (a - b) * (a - b) / ((a + b) * (a + b));
    shape.perimeter = PI * (a + b) * (1 + 3 * h / (10 + std::sqrt(4 - 3 * h)));
    shape.feretMax = 2 * a;
    shape.feretMin = 2 * b;
    return shape;
}

DrawnShape rectangle(cv::Point2d centre, double length, double width, double degrees) {
    DrawnShape shape;
    shape.name = "rectangle";
    for (const cv::Point2d corner :
         {cv::Point2d(-length / 2, -width / 2), cv::Point2d(length / 2, -width / 2),
          cv::Point2d(length / 2, width / 2), cv::Point2d(-length / 2, width / 2)})
        shape.outline.push_back(centre + turned(corner, degrees));
    shape.area = shape.hullArea = length * width;
    shape.perimeter = 2 * (length + width);
    shape.feretMax = std::hypot(length, width);
    shape.feretMin = std::min(length, width);
    return shape;
}

DrawnShape serrated(cv::Point2d centre, double a, double b, double degrees, int teeth,
                    double depth) {
    // The ellipse's arc length along a fine parameter table, to cut it into equal arcs.
    const int steps = 20000;
    std::vector<double> arc(steps + 1, 0);
    auto at = [&](double t) { return cv::Point2d(a * std::cos(t), b * std::sin(t)); };
    for (int i = 1; i <= steps; ++i)
        arc[i] = arc[i - 1] + cv::norm(at(2 * PI * i / steps) - at(2 * PI * (i - 1) / steps));
    auto parameterAt = [&](double s) {
        const std::size_t i = std::lower_bound(arc.begin(), arc.end(), s) - arc.begin();
        if (i == 0) return 0.0;
        const double f = (s - arc[i - 1]) / (arc[i] - arc[i - 1]);
        return 2 * PI * (i - 1 + f) / steps;
    };
    std::vector<cv::Point2d> outline;
    const double tooth = arc[steps] / teeth;
    for (int k = 0; k < teeth; ++k) {
        outline.push_back(centre + turned(at(parameterAt(k * tooth)), degrees));
        const double t = parameterAt((k + 2.0 / 3) * tooth);
        const cv::Point2d normal(b * std::cos(t), a * std::sin(t));
        outline.push_back(centre + turned(at(t) + depth * normal / cv::norm(normal), degrees));
    }
    DrawnShape shape = polygonShape("serrated", std::move(outline));
    return shape;
}

DrawnShape withHole(DrawnShape shape, const DrawnShape& hole) {
    shape.name += " with a hole";
    shape.holes.push_back(hole.outline);
    shape.area -= hole.area;
    return shape;
}

DrawnShape polygonShape(std::string name, std::vector<cv::Point2d> outline) {
    DrawnShape shape;
    shape.name = std::move(name);
    shape.perimeter = length(outline);
    shape.area = area(outline);
    const std::vector<cv::Point2d> hull = wrapped(outline);
    shape.hullArea = area(hull);
    shape.feretMin = hull.size() < 3 ? 0 : 1e300;
    for (std::size_t i = 0; i < hull.size(); ++i) {
        const cv::Point2d edge = hull[(i + 1) % hull.size()] - hull[i];
        double widest = 0;
        for (const cv::Point2d& p : hull) {
            shape.feretMax = std::max(shape.feretMax, cv::norm(p - hull[i]));
            widest = std::max(widest, std::abs(edge.cross(p - hull[i])) / cv::norm(edge));
        }
        if (hull.size() >= 3) shape.feretMin = std::min(shape.feretMin, widest);
    }
    shape.outline = std::move(outline);
    return shape;
}

cv::Mat coveredShare(const std::vector<std::vector<cv::Point2d>>& polygons, cv::Size size) {
    struct Edge {
        double top, bottom, x, slope;  // x at `top`, and its change per unit down
    };
    std::vector<Edge> edges;
    for (const std::vector<cv::Point2d>& polygon : polygons)
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            cv::Point2d p = polygon[i], q = polygon[(i + 1) % polygon.size()];
            if (p.y == q.y) continue;
            if (p.y > q.y) std::swap(p, q);
            edges.push_back({p.y, q.y, p.x, (q.x - p.x) / (q.y - p.y)});
        }
    std::sort(edges.begin(), edges.end(),
              [](const Edge& e, const Edge& f) { return e.top < f.top; });

    cv::Mat share(size, CV_32F);
    std::vector<Edge> active;
    std::vector<double> crossings, row(size.width), whole(size.width + 1);
    std::size_t next = 0;
    for (int y = 0; y < size.height; ++y) {
        std::fill(row.begin(), row.end(), 0.0);
        std::fill(whole.begin(), whole.end(), 0.0);
        for (int line = 0; line < SAMPLE_LINES; ++line) {
            const double ys = y - 0.5 + (line + 0.5) / SAMPLE_LINES;
            while (next < edges.size() && edges[next].top <= ys) active.push_back(edges[next++]);
            active.erase(std::remove_if(active.begin(), active.end(),
                                        [&](const Edge& e) { return e.bottom <= ys; }),
                         active.end());
            crossings.clear();
            for (const Edge& e : active) crossings.push_back(e.x + (ys - e.top) * e.slope);
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t k = 0; k + 1 < crossings.size(); k += 2)
                addSpan(crossings[k], crossings[k + 1], 1.0 / SAMPLE_LINES, row, whole);
        }
        float* out = share.ptr<float>(y);
        double running = 0;
        for (int x = 0; x < size.width; ++x) {
            running += whole[x];
            out[x] = static_cast<float>(std::min(1.0, row[x] + running));
        }
    }
    return share;
}

cv::Mat drawLikeAScan(const DrawnShape& shape, cv::Size size, const ScanLook& look) {
    std::vector<std::vector<cv::Point2d>> polygons{shape.outline};
    polygons.insert(polygons.end(), shape.holes.begin(), shape.holes.end());
    cv::Mat share = coveredShare(polygons, size);
    if (!look.shareEdges) cv::threshold(share, share, 0.5, 1, cv::THRESH_BINARY);
    if (look.blur > 0)
        cv::GaussianBlur(share, share, cv::Size(0, 0), look.blur, look.blur, cv::BORDER_REPLICATE);

    double shape3[3], background3[3];
    for (int c = 0; c < 3; ++c) {
        shape3[c] = linearLight(look.colour[c]);
        background3[c] = linearLight(look.background[c]);
    }
    cv::RNG rng(look.seed);
    cv::Mat noise(1, size.width, CV_32FC3);
    cv::Mat scan(size, CV_8UC3);
    for (int y = 0; y < size.height; ++y) {
        rng.fill(noise, cv::RNG::NORMAL, 0.0, look.noise);
        const float* s = share.ptr<float>(y);
        const cv::Vec3f* n = noise.ptr<cv::Vec3f>(0);
        cv::Vec3b* out = scan.ptr<cv::Vec3b>(y);
        for (int x = 0; x < size.width; ++x)
            for (int c = 0; c < 3; ++c) {
                // Only the edge needs the transfer curve; inside and outside are the colours.
                const double value =
                    s[x] <= 1e-6       ? look.background[c]
                    : s[x] >= 1 - 1e-6 ? look.colour[c]
                    : look.mixLight
                        ? srgbValue(background3[c] + s[x] * (shape3[c] - background3[c]))
                        : look.background[c] + s[x] * (look.colour[c] - look.background[c]);
                out[x][c] = cv::saturate_cast<uchar>(value + n[x][c]);
            }
    }
    return scan;
}

DrawnShape placed(DrawnShape shape, double margin, cv::Size& size) {
    cv::Point2d low = shape.outline[0], high = shape.outline[0];
    for (const cv::Point2d& p : shape.outline) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y)};
    }
    // By whole pixels, so that the shape keeps its place within a pixel.
    const cv::Point2d shift(std::round(margin - low.x), std::round(margin - low.y));
    for (cv::Point2d& p : shape.outline) p += shift;
    for (std::vector<cv::Point2d>& hole : shape.holes)
        for (cv::Point2d& p : hole) p += shift;
    size = cv::Size(static_cast<int>(std::ceil(high.x + shift.x + margin)),
                    static_cast<int>(std::ceil(high.y + shift.y + margin)));
    return shape;
}

}  // namespace test_support
