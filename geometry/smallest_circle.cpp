#include "geometry/smallest_circle.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace plantscan::geometry {

namespace {

using Points = std::vector<cv::Point>;

// The slack cv::minEnclosingCircle adds to every radius it computes.
constexpr float EPS = 1.0e-4f;

struct Box {
    int x0, y0, x1, y1;
};

// Every point of the box lies inside the circle by far more than the float tests' rounding
// (a few parts in 10^7 of the distance), so each of those tests would pass.
bool plainlyInside(const Box& box, const FloatCircle& c) {
    const double cx = c.center.x;
    const double cy = c.center.y;
    const double dx = std::max(std::abs(box.x0 - cx), std::abs(box.x1 - cx));
    const double dy = std::max(std::abs(box.y0 - cy), std::abs(box.y1 - cy));
    return std::sqrt(dx * dx + dy * dy) * (1 + 1e-5) < c.radius;
}

// Bounding boxes of aligned runs of 16, 128 and 1024 consecutive points.
class Runs {
public:
    explicit Runs(const Points& points) {
        std::vector<Box> boxes;
        boxes.reserve(points.size());
        for (const cv::Point& p : points) boxes.push_back({p.x, p.y, p.x, p.y});
        int merged = 0;
        for (std::size_t l = 0; l < SHIFTS.size(); ++l) {
            boxes = mergeRuns(boxes, 1 << (SHIFTS[l] - merged));
            merged = SHIFTS[l];
            levels_[l] = boxes;
        }
    }

    // The first index in [from, end) whose point is not known to lie plainly inside the circle.
    int nextCandidate(int from, int end, const FloatCircle& c) const {
        int i = from;
        while (i < end) {
            bool passed = false;
            for (std::size_t l = SHIFTS.size(); l-- > 0 && !passed;) {
                const int length = 1 << SHIFTS[l];
                if ((i & (length - 1)) == 0 && i + length <= end &&
                    plainlyInside(levels_[l][i >> SHIFTS[l]], c)) {
                    i += length;
                    passed = true;
                }
            }
            if (!passed) return i;
        }
        return end;
    }

private:
    static constexpr std::array<int, 3> SHIFTS{4, 7, 10};

    // Boxes of whole runs only: a run cut short by the end of the points is never passed over.
    static std::vector<Box> mergeRuns(const std::vector<Box>& boxes, int length) {
        std::vector<Box> merged;
        for (std::size_t start = 0; start + length <= boxes.size(); start += length) {
            Box b = boxes[start];
            for (std::size_t k = start + 1; k < start + length; ++k) {
                b.x0 = std::min(b.x0, boxes[k].x0);
                b.y0 = std::min(b.y0, boxes[k].y0);
                b.x1 = std::max(b.x1, boxes[k].x1);
                b.y1 = std::max(b.y1, boxes[k].y1);
            }
            merged.push_back(b);
        }
        return merged;
    }

    std::array<std::vector<Box>, SHIFTS.size()> levels_;
};

// What follows computes as OpenCV 4.6 does, expression for expression: the bits depend on it.

FloatCircle circleOnDiameter(cv::Point a, cv::Point b) {
    FloatCircle c;
    c.center.x = static_cast<float>(a.x + b.x) / 2.0f;
    c.center.y = static_cast<float>(a.y + b.y) / 2.0f;
    const float dx = static_cast<float>(a.x - b.x);
    const float dy = static_cast<float>(a.y - b.y);
    c.radius = static_cast<float>(cv::norm(cv::Point2f(dx, dy))) / 2.0f + EPS;
    return c;
}

bool insideInDouble(cv::Point p, const FloatCircle& c) {
    const float dx = c.center.x - static_cast<float>(p.x);
    const float dy = c.center.y - static_cast<float>(p.y);
    return cv::norm(cv::Point2f(dx, dy)) < c.radius;
}

bool insideInFloat(cv::Point p, const FloatCircle& c) {
    const float dx = static_cast<float>(p.x) - c.center.x;
    const float dy = static_cast<float>(p.y) - c.center.y;
    return static_cast<float>(cv::norm(cv::Point2f(dx, dy))) < c.radius;
}

FloatCircle circleThrough(const cv::Point2f (&pts)[3]) {
    const cv::Point2f v1 = pts[1] - pts[0];
    const cv::Point2f v2 = pts[2] - pts[0];
    const cv::Point2f mid1 = (pts[0] + pts[1]) / 2.0f;
    const float c1 = mid1.x * v1.x + mid1.y * v1.y;
    const cv::Point2f mid2 = (pts[0] + pts[2]) / 2.0f;
    const float c2 = mid2.x * v2.x + mid2.y * v2.y;
    const float det = v1.x * v2.y - v1.y * v2.x;
    FloatCircle c;
    if (std::fabs(det) <= EPS) {
        // In a line: the two points farthest apart span the diameter.
        const float d1 = cv::normL2Sqr<float>(pts[0] - pts[1]);
        const float d2 = cv::normL2Sqr<float>(pts[0] - pts[2]);
        const float d3 = cv::normL2Sqr<float>(pts[1] - pts[2]);
        c.radius = std::sqrt(std::max(d1, std::max(d2, d3))) * 0.5f + EPS;
        if (d1 >= d2 && d1 >= d3)
            c.center = (pts[0] + pts[1]) * 0.5f;
        else if (d2 >= d1 && d2 >= d3)
            c.center = (pts[0] + pts[2]) * 0.5f;
        else
            c.center = (pts[1] + pts[2]) * 0.5f;
        return c;
    }
    float cx = (c1 * v2.y - c2 * v1.y) / det;
    float cy = (v1.x * c2 - v2.x * c1) / det;
    c.center = cv::Point2f(cx, cy);
    cx -= pts[0].x;
    cy -= pts[0].y;
    c.radius = static_cast<float>(std::sqrt(cx * cx + cy * cy)) + EPS;
    return c;
}

// The smallest circle through points i and j holding points [0, j).
FloatCircle withTwo(const Points& points, const Runs& runs, int i, int j) {
    FloatCircle c = circleOnDiameter(points[j], points[i]);
    for (int k = runs.nextCandidate(0, j, c); k < j; k = runs.nextCandidate(k + 1, j, c)) {
        if (insideInDouble(points[k], c)) continue;
        const cv::Point2f three[3] = {points[i], points[j], points[k]};
        const FloatCircle found = circleThrough(three);
        if (found.radius > 0) c = found;
    }
    return c;
}

// The smallest circle through point i holding points [0, i).
FloatCircle withOne(const Points& points, const Runs& runs, int i) {
    FloatCircle c = circleOnDiameter(points[0], points[i]);
    for (int j = runs.nextCandidate(1, i, c); j < i; j = runs.nextCandidate(j + 1, i, c)) {
        if (insideInDouble(points[j], c)) continue;
        const FloatCircle found = withTwo(points, runs, i, j);
        if (found.radius > 0) c = found;
    }
    return c;
}

}  // namespace

FloatCircle smallestEnclosingCircle(const Points& points) {
    const int count = static_cast<int>(points.size());
    FloatCircle c;
    if (count == 0) return c;
    if (count == 1) {
        c.center = cv::Point2f(static_cast<float>(points[0].x), static_cast<float>(points[0].y));
        c.radius = EPS;
        return c;
    }
    if (count == 2) {
        const cv::Point2f p1(static_cast<float>(points[0].x), static_cast<float>(points[0].y));
        const cv::Point2f p2(static_cast<float>(points[1].x), static_cast<float>(points[1].y));
        c.center = cv::Point2f((p1.x + p2.x) / 2.0f, (p1.y + p2.y) / 2.0f);
        c.radius = static_cast<float>(cv::norm(p1 - p2) / 2.0) + EPS;
        return c;
    }
    const Runs runs(points);
    c = circleOnDiameter(points[0], points[1]);
    for (int i = runs.nextCandidate(2, count, c); i < count;
         i = runs.nextCandidate(i + 1, count, c)) {
        if (insideInFloat(points[i], c)) continue;
        const FloatCircle found = withOne(points, runs, i);
        if (found.radius > 0) c = found;
    }
    return c;
}

}  // namespace plantscan::geometry
