// Synthetic scans: a dark five-lobed cane section on a light background, and light leaflets on
// a dark background. Every image is a pure function of its parameters: all randomness comes
// from a cv::RNG seeded with params.seed (never cv::theRNG()).
#include "tools/scan_synth.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace plantscan::tools {

namespace {

const double kPi = 3.14159265358979323846;
const int kShift = 8;  // fixed-point bits used when filling polygons (sub-pixel accurate edges)

double clampValue(double v, double lo, double hi) { return std::min(hi, std::max(lo, v)); }

cv::RNG makeRng(std::uint64_t seed, std::uint64_t stream) {
    // Mix the seed so that nearby seeds and the streams give unrelated sequences; never 0.
    std::uint64_t z =
        seed * 0x9E3779B97F4A7C15ULL + stream * 0xD1B54A32D192ED03ULL + 0x2545F4914F6CDD1DULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    if (z == 0) z = 0x853C49E6748FEA9BULL;
    return cv::RNG(static_cast<uint64>(z));
}

// Smooth noise of about unit amplitude varying over `cell` pixels (cubic upsampling of a coarse
// random grid).
cv::Mat smoothNoise(cv::RNG& rng, cv::Size size, double cell) {
    cell = std::max(2.0, cell);
    int cw = static_cast<int>(std::ceil(size.width / cell)) + 3;
    int ch = static_cast<int>(std::ceil(size.height / cell)) + 3;
    cv::Mat coarse(ch, cw, CV_32F);
    rng.fill(coarse, cv::RNG::NORMAL, 0.0, 1.0);
    cv::Mat fine;
    cv::resize(coarse, fine, cv::Size(static_cast<int>(cw * cell), static_cast<int>(ch * cell)), 0,
               0, cv::INTER_CUBIC);
    int ox = static_cast<int>(cell);
    int oy = static_cast<int>(cell);
    return fine(cv::Rect(ox, oy, size.width, size.height)).clone();
}

cv::Mat whiteNoise(cv::RNG& rng, cv::Size size, double sigma) {
    cv::Mat n(size, CV_32F);
    rng.fill(n, cv::RNG::NORMAL, 0.0, sigma);
    return n;
}

// Writes gray level g (clamped to [gLo, gHi]) plus per-channel offsets into `out` where mask != 0.
void paintLayer(cv::Mat& out, const cv::Mat& gray, const cv::Mat& mask, double gLo, double gHi,
                cv::Vec3d offsetBgr) {
    for (int y = 0; y < out.rows; ++y) {
        const float* g = gray.ptr<float>(y);
        const uchar* m = mask.empty() ? nullptr : mask.ptr<uchar>(y);
        cv::Vec3b* o = out.ptr<cv::Vec3b>(y);
        for (int x = 0; x < out.cols; ++x) {
            if (m && !m[x]) continue;
            double v = clampValue(g[x], gLo, gHi);
            for (int c = 0; c < 3; ++c) o[x][c] = cv::saturate_cast<uchar>(v + offsetBgr[c]);
        }
    }
}

// ---- Section geometry (unit frame: rounded tips at distance 1, math orientation, y up) ----

struct CornerGeometry {
    bool flat = false;
    double half = 0;      // half the angle between two corners
    double sharp = 1;     // distance of the sharp corner from the centre
    double rho = 0;       // fillet radius
    double t = 1;         // distance of the fillet centre from the centre
    cv::Point2d tangent;  // tangent point on the side after the corner (local frame, corner on +x)
    cv::Point2d arcCenter;
    double arcRadius = 0;
    bool valid = false;
};

// Corner on the +x axis at `sharp`, the following side symmetric about direction `half`, the
// hollow bottom at `bottom` (ignored when flat).
CornerGeometry cornerGeometry(double half, double sharp, double bottom, double rho, bool flat) {
    CornerGeometry g;
    g.half = half;
    g.sharp = sharp;
    g.rho = rho;
    cv::Point2d m(std::cos(half), std::sin(half));
    double s = sharp * std::cos(half) - bottom;  // sagitta below the chord
    g.flat = flat || s < 1e-9;
    if (g.flat) {
        g.t = sharp - rho / std::cos(half);
        g.tangent = cv::Point2d(g.t, 0) + rho * m;
    } else {
        double c = sharp * std::sin(half);
        double ra = (c * c + s * s) / (2 * s);
        cv::Point2d ca = (bottom + ra) * m;
        double ud = ca.x;
        if (ud <= sharp) return g;  // sides cross at the corner: not a valid shape
        double disc = ud * ud - ca.dot(ca) + (ra + rho) * (ra + rho);
        if (disc < 0) return g;
        g.t = ud - std::sqrt(disc);
        cv::Point2d cf(g.t, 0);
        cv::Point2d d = cf - ca;
        g.tangent = ca + ra * d / std::sqrt(d.dot(d));
        g.arcCenter = ca;
        g.arcRadius = ra;
    }
    // The tangent point must lie before the middle of the side, the fillet centre inside.
    g.valid = g.t > 0 && std::atan2(g.tangent.y, g.tangent.x) < 0.95 * half && g.tangent.y > 0;
    return g;
}

// Finds the sharp-corner distance so that the rounded tip lies at 1.
CornerGeometry solveCorner(const SectionScanParams& p) {
    int n = std::max(3, p.lobes);
    double half = kPi / n;
    double depth = clampValue(p.hollowDepth, 0.0, 0.6);
    double bottom = 1.0 - depth;
    double rho = clampValue(p.cornerRounding, 0.0, 1.0) * 0.3;
    for (int attempt = 0; attempt < 60; ++attempt) {
        double lo = 1.0, hi = 4.0;
        CornerGeometry best;
        for (int it = 0; it < 80; ++it) {
            double mid = 0.5 * (lo + hi);
            CornerGeometry g = cornerGeometry(half, mid, bottom, rho, p.flatHollows);
            if (!g.valid || g.t + rho > 1.0) {
                hi = mid;
            } else {
                lo = mid;
                best = g;
            }
        }
        if (best.valid && std::abs(best.t + best.rho - 1.0) < 1e-9) return best;
        // No valid shape with these values: round less, or make the hollows shallower.
        if (rho > 1e-6) {
            rho *= 0.85;
        } else {
            bottom = std::min(1.0, bottom + 0.02);
        }
    }
    CornerGeometry g = cornerGeometry(half, 1.0, std::cos(half), 0.0, true);
    return g;
}

void appendArc(std::vector<cv::Point2d>& pts, cv::Point2d c, double r, double a0, double a1,
               double step) {
    int n = std::max(2, static_cast<int>(std::ceil(std::abs(a1 - a0) * r / step)));
    for (int i = 0; i < n; ++i) {  // the end point is left to the next piece
        double a = a0 + (a1 - a0) * i / n;
        pts.emplace_back(c.x + r * std::cos(a), c.y + r * std::sin(a));
    }
}

void appendLine(std::vector<cv::Point2d>& pts, cv::Point2d a, cv::Point2d b, double step) {
    cv::Point2d d = b - a;
    int n = std::max(1, static_cast<int>(std::ceil(std::sqrt(d.dot(d)) / step)));
    for (int i = 0; i < n; ++i) pts.push_back(a + d * (static_cast<double>(i) / n));
}

double wrapAngle(double a) {
    while (a > kPi) a -= 2 * kPi;
    while (a <= -kPi) a += 2 * kPi;
    return a;
}

std::vector<cv::Point2d> circlePolygon(cv::Point2d c, double r) {
    std::vector<cv::Point2d> pts;
    int n = std::max(16, static_cast<int>(std::ceil(2 * kPi * r)));
    for (int i = 0; i < n; ++i) {
        double a = 2 * kPi * i / n;
        pts.emplace_back(c.x + r * std::cos(a), c.y + r * std::sin(a));
    }
    return pts;
}

// Distance from `c` to the farthest crossing of the ray in direction `a` (math angle) with
// the polygon (image coordinates).
double rayRimDistance(const std::vector<cv::Point2d>& poly, cv::Point2d c, double a) {
    cv::Point2d d(std::cos(a), -std::sin(a));
    double best = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        cv::Point2d p = poly[i] - c, q = poly[(i + 1) % poly.size()] - c;
        cv::Point2d e = q - p;
        double den = d.x * e.y - d.y * e.x;
        if (std::abs(den) < 1e-12) continue;
        double t = (p.x * e.y - p.y * e.x) / den;
        double u = (p.x * d.y - p.y * d.x) / den;
        if (t > 0 && u >= 0 && u <= 1) best = std::max(best, t);
    }
    return best;
}

}  // namespace

double sectionCornerAngle(const SectionScanParams& params, int k) {
    int n = std::max(3, params.lobes);
    return kPi / 2 + params.rotationDeg * kPi / 180 + k * 2 * kPi / n;
}

double sectionHollowAngle(const SectionScanParams& params, int k) {
    int n = std::max(3, params.lobes);
    return sectionCornerAngle(params, k) + kPi / n;
}

std::vector<cv::Point2d> sectionPolygon(const SectionScanParams& params) {
    int n = std::max(3, params.lobes);
    CornerGeometry g = solveCorner(params);
    double scale = params.radius;
    double step = 0.75 / std::max(1.0, scale);  // about 0.75 pixel between points
    // One corner and the side after it, in the local frame (corner on +x).
    std::vector<cv::Point2d> local;
    cv::Point2d cf(g.t, 0);
    if (g.rho > 0) {
        double phi = std::atan2(g.tangent.y, g.tangent.x - g.t);
        appendArc(local, cf, g.rho, -phi, phi, step);
    } else {
        local.emplace_back(g.t, 0);
    }
    cv::Point2d endPoint(std::cos(2 * g.half) * g.tangent.x + std::sin(2 * g.half) * g.tangent.y,
                         std::sin(2 * g.half) * g.tangent.x - std::cos(2 * g.half) * g.tangent.y);
    if (g.flat) {
        appendLine(local, g.tangent, endPoint, step);
    } else {
        cv::Point2d d = g.tangent - g.arcCenter;
        double a0 = std::atan2(d.y, d.x);
        double toBottom = wrapAngle(g.half + kPi - a0);
        appendArc(local, g.arcCenter, g.arcRadius, a0, a0 + 2 * toBottom, step);
    }
    std::vector<cv::Point2d> poly;
    poly.reserve(local.size() * n);
    for (int k = 0; k < n; ++k) {
        double a = sectionCornerAngle(params, k);
        double ca = std::cos(a), sa = std::sin(a);
        for (const cv::Point2d& p : local) {
            double x = p.x * ca - p.y * sa;
            double y = p.x * sa + p.y * ca;
            poly.emplace_back(params.center.x + scale * x, params.center.y - scale * y);
        }
    }
    return poly;
}

std::vector<cv::Point2d> sectionCrackPolygon(const SectionScanParams& params) {
    if (params.crackWidth <= 0 || params.crackLength <= 0) return {};
    double a = sectionCornerAngle(params, 0) + params.crackAngleDeg * kPi / 180;
    double rim = rayRimDistance(sectionPolygon(params), params.center, a);
    double outer = rim + 3.0;
    double inner = std::max(0.0, rim - params.crackLength);
    cv::Point2d d(std::cos(a), -std::sin(a));
    cv::Point2d nrm(-d.y, d.x);
    double hw = params.crackWidth / 2;
    cv::Point2d c = params.center;
    return {c + d * inner + nrm * hw, c + d * outer + nrm * hw, c + d * outer - nrm * hw,
            c + d * inner - nrm * hw};
}

cv::Mat polygonMask(const std::vector<cv::Point2d>& polygon, cv::Size size) {
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    if (polygon.size() < 3) return mask;
    std::vector<std::vector<cv::Point>> pts(1);
    pts[0].reserve(polygon.size());
    const double f = 1 << kShift;
    for (const cv::Point2d& p : polygon) pts[0].emplace_back(cvRound(p.x * f), cvRound(p.y * f));
    cv::fillPoly(mask, pts, cv::Scalar(255), cv::LINE_8, kShift);
    return mask;
}

cv::Mat makeSectionScan(const SectionScanParams& params) {
    cv::Size size(params.width, params.height);
    cv::RNG rng = makeRng(params.seed, 1);
    double w = size.width, h = size.height;
    double diag = std::sqrt(w * w + h * h);

    // Background: smooth lighting gradient, vignetting, blotches and grain.
    cv::Mat bg(size, CV_32F);
    double theta = rng.uniform(0.0, 2 * kPi);
    double ct = std::cos(theta), st = std::sin(theta);
    double slope = rng.uniform(18.0, 28.0);
    cv::Point2d light(rng.uniform(0.3, 0.7) * w, rng.uniform(0.3, 0.7) * h);
    for (int y = 0; y < size.height; ++y) {
        float* row = bg.ptr<float>(y);
        for (int x = 0; x < size.width; ++x) {
            double g = ((x - w / 2) * ct + (y - h / 2) * st) / (0.5 * diag);
            double dx = (x - light.x) / diag, dy = (y - light.y) / diag;
            double vign = (dx * dx + dy * dy) * 4;
            row[x] = static_cast<float>(182 + slope * g - 16 * vign);
        }
    }
    double minSide = std::min(w, h);
    bg += 6 * smoothNoise(rng, size, minSide / 6) + 3 * smoothNoise(rng, size, 6) +
          whiteNoise(rng, size, 4);

    // Section texture: dark tissue, lighter vascular bundles, darker rim.
    std::vector<cv::Point2d> poly = sectionPolygon(params);
    cv::Mat sectionMask = polygonMask(poly, size);
    double r = std::max(4.0, params.radius);
    cv::Mat tissue(size, CV_32F, cv::Scalar(27));
    tissue += 4 * smoothNoise(rng, size, r / 6) + 2 * smoothNoise(rng, size, 4) +
              whiteNoise(rng, size, 3);
    cv::Mat bundles = cv::Mat::zeros(size, CV_32F);
    int nBundles = static_cast<int>(cv::countNonZero(sectionMask) / std::max(30.0, r * r / 50));
    for (int i = 0, tries = 0; i < nBundles && tries < nBundles * 20; ++tries) {
        double rr = std::sqrt(rng.uniform(0.1, 1.0)) * r;
        double a = rng.uniform(0.0, 2 * kPi);
        cv::Point2d p(params.center.x + rr * std::cos(a), params.center.y + rr * std::sin(a));
        int px = cvFloor(p.x), py = cvFloor(p.y);
        if (px < 0 || py < 0 || px >= size.width || py >= size.height ||
            !sectionMask.at<uchar>(py, px))
            continue;
        double br = std::max(1.0, r * rng.uniform(0.006, 0.016));
        cv::circle(bundles, cv::Point(cvRound(p.x * 16), cvRound(p.y * 16)), cvRound(br * 16),
                   cv::Scalar(rng.uniform(5.0, 10.0)), cv::FILLED, cv::LINE_AA, 4);
        ++i;
    }
    tissue += bundles;
    if (cv::countNonZero(sectionMask) > 0) {
        cv::Mat dist;
        cv::distanceTransform(sectionMask, dist, cv::DIST_L2, 3);
        double band = std::max(2.0, r * 0.025);
        for (int y = 0; y < size.height; ++y) {
            const float* d = dist.ptr<float>(y);
            float* t = tissue.ptr<float>(y);
            for (int x = 0; x < size.width; ++x)
                if (d[x] > 0 && d[x] < band) t[x] -= static_cast<float>(6 * (1 - d[x] / band));
        }
    }

    // Pith: light, beige.
    cv::Mat pith(size, CV_32F, cv::Scalar(172));
    pith +=
        8 * smoothNoise(rng, size, std::max(4.0, params.holeRadius / 3)) + whiteNoise(rng, size, 4);

    cv::Mat out(size, CV_8UC3);
    // Channel offsets B, G, R. Background: every channel >= 121; section: every channel in [10,
    // 44].
    paintLayer(out, bg, cv::Mat(), 126, 224, cv::Vec3d(-5, 1, 2));
    paintLayer(out, tissue, sectionMask, 14, 40, cv::Vec3d(-4, 1, 4));
    if (params.holeRadius > 0) {
        cv::Mat holeMask = polygonMask(circlePolygon(params.center, params.holeRadius), size);
        paintLayer(out, pith, holeMask, 140, 212, cv::Vec3d(-12, 2, 6));
    }
    std::vector<cv::Point2d> crack = sectionCrackPolygon(params);
    if (!crack.empty()) {
        paintLayer(out, bg, polygonMask(crack, size), 126, 224, cv::Vec3d(-5, 1, 2));
    }
    if (params.sensorNoise > 0 || params.colourCast > 0) {
        // Its own stream, so that the scan without them stays what it was.
        cv::RNG colourRng = makeRng(params.seed, 3);
        std::vector<cv::Mat> channels;
        cv::split(out, channels);
        for (cv::Mat& channel : channels) {
            cv::Mat shift = cv::Mat::zeros(size, CV_32F);
            if (params.colourCast > 0)
                shift += params.colourCast * smoothNoise(colourRng, size, minSide / 3);
            if (params.sensorNoise > 0) shift += whiteNoise(colourRng, size, params.sensorNoise);
            cv::Mat shifted;
            channel.convertTo(shifted, CV_32F);
            shifted += shift;
            shifted.convertTo(channel, CV_8U);
        }
        cv::merge(channels, out);
    }
    return out;
}

std::vector<cv::Point2d> leafPolygon(const Leaf& leaf) {
    // Half-width profile along the length, u from -1 (base) to 1 (tip): slightly pointed tips,
    // widest a little toward the base; scaled so the widest point is width / 2.
    auto profile = [](double u) {
        return std::pow(std::max(0.0, 1 - u * u), 0.8) * (1 - 0.22 * u);
    };
    double maxP = 0;
    for (int i = 0; i <= 2000; ++i) maxP = std::max(maxP, profile(-1 + i / 1000.0));
    double halfL = leaf.length / 2, halfW = leaf.width / 2;
    int n = std::max(24, static_cast<int>(std::ceil(leaf.length * 1.2)));
    std::vector<cv::Point2d> local;
    for (int i = 0; i < n; ++i) {  // upper edge, base to tip
        double u = -1 + 2.0 * i / n;
        local.emplace_back(u * halfL, halfW * profile(u) / maxP);
    }
    for (int i = 0; i < n; ++i) {  // lower edge, tip to base
        double u = 1 - 2.0 * i / n;
        local.emplace_back(u * halfL, -halfW * profile(u) / maxP);
    }
    double a = leaf.angleDeg * kPi / 180;
    double ca = std::cos(a), sa = std::sin(a);
    std::vector<cv::Point2d> pts;
    pts.reserve(local.size());
    for (const cv::Point2d& p : local) {
        // Counter-clockwise on screen: the length axis goes to (cos a, -sin a).
        pts.emplace_back(leaf.center.x + p.x * ca + p.y * sa, leaf.center.y - p.x * sa + p.y * ca);
    }
    return pts;
}

std::vector<Leaf> defaultLeafLayout(int width, int height) {
    double m = std::min(width, height);
    struct Slot {
        double fx, fy, len, wid, angle;
    };
    const Slot slots[] = {
        {0.22, 0.25, 0.30, 0.12, 0},   {0.56, 0.25, 0.28, 0.11, 30},  {0.84, 0.45, 0.32, 0.13, 90},
        {0.24, 0.72, 0.27, 0.11, 125}, {0.58, 0.74, 0.30, 0.12, 165},
    };
    std::vector<Leaf> leaves;
    for (const Slot& s : slots) {
        Leaf l;
        l.center = cv::Point2d(s.fx * width, s.fy * height);
        l.length = s.len * m;
        l.width = s.wid * m;
        l.angleDeg = s.angle;
        leaves.push_back(l);
    }
    return leaves;
}

cv::Mat makeLeafletScan(const LeafletScanParams& params) {
    cv::Size size(params.width, params.height);
    cv::RNG rng = makeRng(params.seed, 2);
    double minSide = std::min(size.width, size.height);

    // Dark background: every channel <= 37.
    cv::Mat bg(size, CV_32F, cv::Scalar(20));
    bg += 4 * smoothNoise(rng, size, minSide / 8) + 1.5 * smoothNoise(rng, size, 5) +
          whiteNoise(rng, size, 2.5);

    // Leaves: light green, with lighter veins and a slightly darker margin.
    cv::Mat leafMask = cv::Mat::zeros(size, CV_8UC1);
    cv::Mat veins = cv::Mat::zeros(size, CV_32F);
    for (const Leaf& leaf : params.leaves) {
        cv::bitwise_or(leafMask, polygonMask(leafPolygon(leaf), size), leafMask);
        double a = leaf.angleDeg * kPi / 180;
        cv::Point2d along(std::cos(a), -std::sin(a)), across(std::sin(a), std::cos(a));
        int thick = std::max(1, cvRound(leaf.width / 45));
        cv::Point2d base = leaf.center - along * (0.48 * leaf.length);
        cv::Point2d tip = leaf.center + along * (0.46 * leaf.length);
        cv::line(veins, base, tip, cv::Scalar(16), thick + 1, cv::LINE_AA);
        int nSide = 5 + rng.uniform(0, 3);
        for (int i = 1; i <= nSide; ++i) {
            double u = -0.4 + 0.8 * i / (nSide + 1);
            cv::Point2d start = leaf.center + along * (u * leaf.length * 0.5);
            for (int side = -1; side <= 1; side += 2) {
                cv::Point2d end = start + along * (0.22 * leaf.length * 0.5) +
                                  across * (side * 0.38 * leaf.width);
                cv::line(veins, start, end, cv::Scalar(9), thick, cv::LINE_AA);
            }
        }
    }
    cv::GaussianBlur(veins, veins, cv::Size(3, 3), 0);
    cv::Mat tissue(size, CV_32F, cv::Scalar(168));
    tissue += 9 * smoothNoise(rng, size, minSide / 20) + 4 * smoothNoise(rng, size, 5) +
              whiteNoise(rng, size, 3);
    tissue += veins;
    if (!params.leaves.empty()) {
        cv::Mat dist;
        cv::distanceTransform(leafMask, dist, cv::DIST_L2, 3);
        for (int y = 0; y < size.height; ++y) {
            const float* d = dist.ptr<float>(y);
            float* t = tissue.ptr<float>(y);
            for (int x = 0; x < size.width; ++x)
                if (d[x] > 0 && d[x] < 6) t[x] -= static_cast<float>(12 * (1 - d[x] / 6));
        }
    }

    // Specks: light dust, a few pixels across, kept away from the leaves.
    cv::Mat keepOut;
    cv::dilate(leafMask, keepOut, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(25, 25)));
    cv::Mat speckMask = cv::Mat::zeros(size, CV_8UC1);
    cv::Mat speckTone(size, CV_32F, cv::Scalar(0));
    for (int i = 0; i < params.specks; ++i) {
        for (int tries = 0; tries < 30; ++tries) {
            int x = rng.uniform(6, std::max(7, size.width - 6));
            int y = rng.uniform(6, std::max(7, size.height - 6));
            if (x >= size.width || y >= size.height) break;
            if (keepOut.at<uchar>(y, x) || speckMask.at<uchar>(y, x)) continue;
            int parts = rng.uniform(1, 4);
            double tone = rng.uniform(130.0, 225.0);
            for (int k = 0; k < parts; ++k) {
                // Later parts touch the first one, so a speck stays one blob.
                cv::Point c = k == 0 ? cv::Point(x, y)
                                     : cv::Point(x + rng.uniform(-1, 2), y + rng.uniform(-1, 2));
                int rad = k == 0 ? rng.uniform(1, 3) : rng.uniform(0, 3);
                cv::circle(speckMask, c, rad, cv::Scalar(255), cv::FILLED, cv::LINE_8);
                cv::circle(speckTone, c, rad, cv::Scalar(tone), cv::FILLED, cv::LINE_8);
            }
            break;
        }
    }

    cv::Mat out(size, CV_8UC3);
    paintLayer(out, bg, cv::Mat(), 6, 34, cv::Vec3d(-3, 3, 2));
    paintLayer(out, speckTone, speckMask, 120, 230, cv::Vec3d(-8, 0, 3));
    paintLayer(out, tissue, leafMask, 128, 214, cv::Vec3d(-30, 8, -14));
    return out;
}

cv::Mat makeNoiseScan(cv::Size size, std::uint64_t seed) {
    cv::Mat out(size, CV_8UC3);
    cv::RNG rng = makeRng(seed, 4);
    rng.fill(out, cv::RNG::UNIFORM, 0, 256);
    return out;
}

}  // namespace plantscan::tools
