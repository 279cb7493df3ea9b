#include "geometry/angle.h"

#include <cmath>

namespace plantscan::geometry {

double angle3Points(cv::Point vertex, cv::Point a, cv::Point b, std::ostream& console) {
    const double dxA = a.x - vertex.x;
    const double dyA = a.y - vertex.y;
    const double dxB = b.x - vertex.x;
    const double dyB = b.y - vertex.y;
    const double nA = dyA * dyA + dxA * dxA;
    const double nB = dyB * dyB + dxB * dxB;
    const double t = (dyB * dyA + dxB * dxA) / (std::sqrt(nA) * std::sqrt(nB));
    const double angle = std::acos(t);
    if (!std::isnan(angle)) return angle;
    // Rounding can push the cosine a hair past -1 or +1 for collinear arms.
    if (t + 1 <= 1e-7) return STRAIGHT_ANGLE;
    if (t - 1 <= 1e-7) return 0;
    console << "erreur angle 3 points ! center : [" << vertex.x << ", " << vertex.y << "] A : ["
            << a.x << ", " << a.y << "] B : [" << b.x << ", " << b.y << "] temp : " << t
            << "X1X3*X1X3+Y1Y3*Y1Y3" << nA << "X2X3*X2X3+Y2Y3*Y2Y3" << nB
            << "(sqrt(X1X3*X1X3+Y1Y3*Y1Y3)*sqrt(X2X3*X2X3+Y2Y3*Y2Y3))"
            << std::sqrt(nA) * std::sqrt(nB) << std::endl;
    return angle;
}

double radiansToDegrees(double radians) { return radians * 180 / STRAIGHT_ANGLE; }

}  // namespace plantscan::geometry
