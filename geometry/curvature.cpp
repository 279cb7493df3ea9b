#include "geometry/curvature.h"

#include "geometry/detail/power_sums.h"
#include "geometry/distance.h"
#include "geometry/line.h"
#include "geometry/pixel_arithmetic.h"

#include <cmath>
#include <cstdlib>

namespace plantscan::geometry {

using detail::sumPowX;
using detail::sumPowXY;
using detail::sumPowY;

Circle circleFrom3Points(cv::Point u, cv::Point v, cv::Point w) {
    const StraightLine l = getPerpendicularBisector(u, v);
    const StraightLine m = getPerpendicularBisector(v, w);
    const cv::Point center = l.getIntersection(m);
    return Circle(truncateToInt(getDistance(center, u)), center);
}

namespace {

Circle fallbackCircle(const std::vector<cv::Point>& points) {
    const size_t n = points.size();
    return circleFrom3Points(points[0], points[n / 2], points[n - 1]);
}

}  // namespace

Circle getCurvatureCircle(const std::vector<cv::Point>& points, double threshold,
                          std::ostream& console) {
    const double N = static_cast<double>(points.size());
    const double Sx = sumPowX(points, 1);
    const double Sy = sumPowY(points, 1);
    const double Sxy = sumPowXY(points, 1, 1);
    const double Sxxy = sumPowXY(points, 2, 1);
    const double Sxyy = sumPowXY(points, 1, 2);
    const double Sxx = sumPowX(points, 2);
    const double Syy = sumPowY(points, 2);
    const double Sxxx = sumPowX(points, 3);
    const double Syyy = sumPowY(points, 3);

    const double Kxy = N * Sxy - Sy * Sx;
    const double Kxx = N * Sxx - Sx * Sx;
    const double Kyy = N * Syy - Sy * Sy;
    const double Rx = ((N * Sxyy - Syy * Sx) + (N * Sxxx - Sxx * Sx)) * 0.5;
    const double Ry = ((N * Sxxy - Sxx * Sy) + (N * Syyy - Syy * Sy)) * 0.5;
    const double det = Kyy * Kxx - Kxy * Kxy;
    console << "D=" << det << std::endl;

    int X = -1;
    int Y = -1;
    if (det == 0) {
        console << "D=0" << std::endl;
    } else {
        X = truncateToInt((Rx * Kyy - Ry * Kxy) / det);
        Y = truncateToInt((Ry * Kxx - Rx * Kxy) / det);
    }
    // NO_POINT is what a missing centre looks like, so a centre that truncates to it is one.
    const bool noCenter = cv::Point(X, Y) == NO_POINT;

    // The radius comes from the truncated centre, not from the exact fit.
    const double meanSquare = (Syy + Sxx - (2.0 * X) * Sx - (2.0 * Y) * Sy) / N;
    const int R = truncateToInt(
        std::sqrt(X * static_cast<double>(X) + meanSquare + Y * static_cast<double>(Y)));
    double deviation = 0.0;
    for (const cv::Point& p : points) {
        const double dx = wrappingDifference(p.x, X);
        const double dy = wrappingDifference(p.y, Y);
        deviation += std::abs(std::sqrt(dx * dx + dy * dy) - R);
    }
    const double err = deviation / static_cast<double>(points.size());
    console << "erreur : " << err << std::endl;

    if (noCenter || err > threshold) return fallbackCircle(points);
    return Circle(R, {X, Y});
}

}  // namespace plantscan::geometry
