#include "section_measure/measurements.h"

#include "geometry/angle.h"
#include "geometry/circles.h"
#include "geometry/curvature.h"
#include "geometry/primitives.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <iostream>
#include <string>

namespace {

constexpr int H = 5;
constexpr double CORNER_FIT_THRESHOLD = 10.0;
constexpr double HOLLOW_FIT_THRESHOLD = 5.0;
constexpr int NEIGHBOUR_OFFSET = 8;

Circle fitCurvatureCircle(const std::vector<cv::Point>& arc, double threshold,
                          const std::string& feature) {
    if (arc.size() < 3) {
        throw SectionError("l'arc de " + feature + " n'a que " + std::to_string(arc.size()) +
                           " points : il en faut au moins trois pour ajuster un cercle");
    }
    return getCurvatureCircle(arc, threshold);
}

}  // namespace

std::vector<cv::Point> shorterArc(const std::vector<cv::Point>& outline, int a, int b) {
    const int n = static_cast<int>(outline.size());
    const int lo = std::min(a, b);
    const int hi = std::max(a, b);
    std::vector<cv::Point> arc;
    if (lo + n - hi < hi - lo) {
        arc.insert(arc.end(), outline.begin() + hi, outline.end());
        arc.insert(arc.end(), outline.begin(), outline.begin() + lo);
    } else {
        arc.insert(arc.end(), outline.begin() + lo, outline.begin() + hi);
    }
    return arc;
}

double getSectionWidth(const std::vector<cv::Point>& outline) {
    // The farthest pair of points is a pair of hull vertices.
    std::vector<cv::Point> hull;
    cv::convexHull(outline, hull, false, true);
    double widest = 0.0;
    for (std::size_t i = 0; i < hull.size(); ++i) {
        for (std::size_t j = i + 1; j < hull.size(); ++j) {
            widest = std::max(widest, getDistance(hull[i], hull[j]));
        }
    }
    return widest;
}

int hollowHalfWindow(double hollowAngle) { return hollowAngle < 100 ? 15 : 60; }

SectionMeasurements measureFeatures(const cv::Mat& image, cv::Size size,
                                    const std::vector<cv::Point>& outline,
                                    const std::vector<cv::Point>& hollows,
                                    const std::vector<int>& hollowIndices,
                                    const std::vector<double>& hollowDepths,
                                    const ImageWriter& writeImage) {
    const int n = static_cast<int>(outline.size());
    SectionMeasurements m;

    m.sectionWidth = PIXEL_TO_MM * getSectionWidth(outline);
    std::cout << "largeur : " << m.sectionWidth << " mm" << std::endl;

    cv::Mat angleDrawing = image.clone();
    for (int k = 1; k <= H; ++k) {
        const std::vector<cv::Point> arc =
            shorterArc(outline, hollowIndices[(k + 3) % 5], hollowIndices[k - 1]);
        const Circle circle =
            fitCurvatureCircle(arc, CORNER_FIT_THRESHOLD, "l'angle " + std::to_string(k));
        const double r = circle.getRadius() * PIXEL_TO_MM;
        m.angleRadii[k - 1] = r;
        std::cout << "rayon de courbure de l'angle " << k << " : " << r << " mm" << std::endl;
        drawCircle(circle, angleDrawing);
    }
    writeImage("rayonsCourbureAngles.jpg", angleDrawing);

    cv::Mat hollowDrawing = image.clone();
    for (int k = 1; k <= H; ++k) {
        std::cout << "creux " << k << std::endl;
        const int h = hollowIndices[k - 1];
        const double hollowAngle =
            radiansToDegrees(angle3Points(outline[h], outline[(h + n - NEIGHBOUR_OFFSET) % n],
                                          outline[(h + n + NEIGHBOUR_OFFSET) % n]));
        std::cout << "angle : " << hollowAngle << std::endl;
        const int w = hollowHalfWindow(hollowAngle);
        const std::vector<cv::Point> arc = shorterArc(outline, (h - w + n) % n, (h + w + n) % n);
        const Circle circle =
            fitCurvatureCircle(arc, HOLLOW_FIT_THRESHOLD, "creux " + std::to_string(k));
        drawCircle(circle, hollowDrawing);
        const double r = circle.getRadius() * PIXEL_TO_MM;
        m.hollowRadii[k - 1] = r;
        std::cout << "rayon de courbure du creux " << k << " : " << r << " mm" << std::endl;
    }
    writeImage("rayonsCourbureCreux.jpg", hollowDrawing);

    const Circle outer = getCircumscribedCircle(outline);
    printCircle(outer);
    cv::Mat outerDrawing = image.clone();
    drawCircle(outer, outerDrawing);
    m.circumscribedDiameter = (2 * outer.getRadius()) * PIXEL_TO_MM;
    std::cout << "diametre du cercle circonscrit : " << m.circumscribedDiameter << " mm"
              << std::endl;
    for (int k = 1; k <= H; ++k) {
        const double d = outer.getDistanceToCircle(hollows[k - 1]) * PIXEL_TO_MM;
        m.hollowDistances[k - 1] = d;
        std::cout << "distance du creux " << k << " avec le cercle circonscrit : " << d << " mm"
                  << std::endl;
        m.hollowDepths[k - 1] = hollowDepths[k - 1];
        std::cout << "profondeur du creux " << k << " : " << hollowDepths[k - 1] << " mm"
                  << std::endl;
        const double ratio = d * 100 / (outer.getRadius() * PIXEL_TO_MM);
        m.hollowRatios[k - 1] = ratio;
        std::cout << "ratio de la  distance du creux " << k
                  << " avec le cercle circonscrit avec le rayon du cercle :  "
                  << " : " << ratio << " %" << std::endl;
    }
    writeImage("cercleCirconscrit.jpg", outerDrawing);

    const Circle inner = getInscribedCircle(outline, size);
    printCircle(inner);
    cv::Mat innerDrawing = image.clone();
    drawCircle(inner, innerDrawing);
    writeImage("cercleInscrit.jpg", innerDrawing);
    m.inscribedDiameter = (2 * inner.getRadius()) * PIXEL_TO_MM;
    return m;
}
