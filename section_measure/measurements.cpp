#include "section_measure/measurements.h"

#include "geometry/angle.h"
#include "geometry/curvature.h"
#include "geometry/distance.h"
#include "geometry/drawing.h"
#include "geometry/enclosing_circles.h"
#include "geometry/printing.h"
#include "section_measure/output_files.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <future>
#include <string>

namespace plantscan::section {

using geometry::Circle;
using geometry::drawCircle;
using geometry::printCircle;

namespace {

Circle fitCurvatureCircle(const std::vector<cv::Point>& arc, double threshold,
                          const std::string& feature, std::ostream& console) {
    if (arc.size() < 3) {
        throw SectionError(NoSection::ARC_TOO_SHORT,
                           "l'arc de " + feature + " n'a que " + std::to_string(arc.size()) +
                               " points : il en faut au moins trois pour ajuster un cercle");
    }
    return geometry::getCurvatureCircle(arc, threshold, console);
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
            widest = std::max(widest, geometry::getDistance(hull[i], hull[j]));
        }
    }
    return widest;
}

int hollowHalfWindow(double hollowAngle) {
    // A NaN angle is not below the limit: the wide window.
    return hollowAngle < SHARP_HOLLOW_LIMIT_DEG ? NARROW_HALF_WINDOW : WIDE_HALF_WINDOW;
}

SectionMeasurements measureFeatures(const cv::Mat& image, cv::Size size,
                                    const std::vector<cv::Point>& outline, const Hollows& hollows,
                                    const output::ImageWriter& writeImage, std::ostream& console) {
    const int n = static_cast<int>(outline.size());
    SectionMeasurements m;
    // The two circles depend on the outline alone: with threads to spare they are found while
    // the rest is measured (cv::minEnclosingCircle alone can take a fifth of a second).
    const std::launch early = cv::getNumThreads() > 1 ? std::launch::async : std::launch::deferred;
    std::future<Circle> circumscribed =
        std::async(early, [&outline] { return geometry::getCircumscribedCircle(outline); });
    std::future<Circle> inscribed =
        std::async(early, [&outline, size] { return geometry::getInscribedCircle(outline, size); });

    m.sectionWidth = PIXEL_TO_MM * getSectionWidth(outline);
    console << "largeur : " << m.sectionWidth << " mm" << std::endl;

    cv::Mat angleDrawing = image.clone();
    for (int k = 1; k <= LOBE_COUNT; ++k) {
        // Angle k lies between hollows k - 1 and k; angle 1 between the last hollow and the first.
        const int previous = hollows[(k + LOBE_COUNT - 2) % LOBE_COUNT].index;
        const std::vector<cv::Point> arc = shorterArc(outline, previous, hollows[k - 1].index);
        const Circle circle =
            fitCurvatureCircle(arc, CORNER_FIT_THRESHOLD, "l'angle " + std::to_string(k), console);
        const double r = circle.getRadius() * PIXEL_TO_MM;
        m.angleCircles[k - 1] = circle;
        m.angleRadii[k - 1] = r;
        console << "rayon de courbure de l'angle " << k << " : " << r << " mm" << std::endl;
        drawCircle(circle, angleDrawing);
    }
    writeImage(CORNER_RADII_FILE, angleDrawing);

    cv::Mat hollowDrawing = image.clone();
    for (int k = 1; k <= LOBE_COUNT; ++k) {
        console << "creux " << k << std::endl;
        const int h = hollows[k - 1].index;
        const double hollowAngle = geometry::radiansToDegrees(
            geometry::angle3Points(outline[h], outline[(h + n - NEIGHBOUR_OFFSET) % n],
                                   outline[(h + n + NEIGHBOUR_OFFSET) % n], console));
        console << "angle : " << hollowAngle << std::endl;
        const int w = hollowHalfWindow(hollowAngle);
        const std::vector<cv::Point> arc = shorterArc(outline, (h - w + n) % n, (h + w + n) % n);
        const Circle circle =
            fitCurvatureCircle(arc, HOLLOW_FIT_THRESHOLD, "creux " + std::to_string(k), console);
        drawCircle(circle, hollowDrawing);
        const double r = circle.getRadius() * PIXEL_TO_MM;
        m.hollowCircles[k - 1] = circle;
        m.hollowRadii[k - 1] = r;
        console << "rayon de courbure du creux " << k << " : " << r << " mm" << std::endl;
    }
    writeImage(HOLLOW_RADII_FILE, hollowDrawing);

    const Circle outer = circumscribed.get();
    printCircle(outer, console);
    cv::Mat outerDrawing = image.clone();
    drawCircle(outer, outerDrawing);
    m.circumscribedCircle = outer;
    m.circumscribedDiameter = (2 * outer.getRadius()) * PIXEL_TO_MM;
    console << "diametre du cercle circonscrit : " << m.circumscribedDiameter << " mm" << std::endl;
    for (int k = 1; k <= LOBE_COUNT; ++k) {
        const Hollow& hollow = hollows[k - 1];
        const double d = outer.getDistanceToCircle(hollow.point) * PIXEL_TO_MM;
        m.hollowDistances[k - 1] = d;
        console << "distance du creux " << k << " avec le cercle circonscrit : " << d << " mm"
                << std::endl;
        m.hollowDepths[k - 1] = hollow.depth;
        console << "profondeur du creux " << k << " : " << hollow.depth << " mm" << std::endl;
        const double ratio = d * 100 / (outer.getRadius() * PIXEL_TO_MM);
        m.hollowRatios[k - 1] = ratio;
        // The double space and the doubled colon are the line as it has always been printed.
        console << "ratio de la  distance du creux " << k
                << " avec le cercle circonscrit avec le rayon du cercle :  "
                << " : " << ratio << " %" << std::endl;
    }
    writeImage(CIRCUMSCRIBED_FILE, outerDrawing);

    const Circle inner = inscribed.get();
    printCircle(inner, console);
    cv::Mat innerDrawing = image.clone();
    drawCircle(inner, innerDrawing);
    writeImage(INSCRIBED_FILE, innerDrawing);
    m.inscribedCircle = inner;
    m.inscribedDiameter = (2 * inner.getRadius()) * PIXEL_TO_MM;
    return m;
}

}  // namespace plantscan::section
