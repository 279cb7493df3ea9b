#include "section_measure/corners_hollows.h"

#include "geometry/angle.h"
#include "geometry/distance.h"
#include "geometry/drawing.h"
#include "geometry/printing.h"
#include "section_measure/output_files.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <string>

namespace plantscan::section {

using geometry::getDistance;
using geometry::Segment;

namespace {

const cv::Scalar RED(0, 0, 255);
const cv::Scalar BLUE(255, 0, 0);
const cv::Scalar GREEN(0, 255, 0);
const cv::Scalar CYAN(255, 255, 0);

double angleSeenFrom(cv::Point centroid, cv::Point p, cv::Point q, std::ostream& console) {
    return std::fabs(geometry::radiansToDegrees(geometry::angle3Points(centroid, p, q, console)));
}

// The first hull vertex within reach of the outline walked from h by `step`, covering every index.
cv::Point firstHullVertexFrom(const std::vector<cv::Point>& outline,
                              const std::vector<cv::Point>& hull, int h, int step) {
    const int n = static_cast<int>(outline.size());
    for (int i = h; i > -n && i < 2 * n; i += step) {
        const cv::Point p = outline[(i + n) % n];
        for (const cv::Point& vertex : hull) {
            if (getDistance(vertex, p) < HULL_VERTEX_TOLERANCE) return vertex;
        }
    }
    // Unreachable: every hull vertex is an outline point.
    throw SectionError("aucun sommet de l'enveloppe convexe n'est sur le contour");
}

}  // namespace

cv::Point getCentroid(const std::vector<cv::Point>& outline) {
    double sumX = 0.0;
    double sumY = 0.0;
    for (const cv::Point& p : outline) {
        sumX += p.x;
        sumY += p.y;
    }
    const double n = static_cast<double>(outline.size());
    return {static_cast<int>(sumX / n), static_cast<int>(sumY / n)};
}

std::vector<int> findCornerIndices(const std::vector<cv::Point>& outline, cv::Point centroid,
                                   std::ostream& console) {
    std::vector<int> found;
    for (int pass = 0; pass < LOBE_COUNT; ++pass) {
        double bestDistance = 0.0;
        int best = -1;
        double lastAngle = 0.0;
        for (int i = 0; i < static_cast<int>(outline.size()); ++i) {
            const cv::Point p = outline[i];
            bool admitted = true;
            for (int corner : found) {
                lastAngle = angleSeenFrom(centroid, p, outline[corner], console);
                // NaN compares false, so an undefined angle never refuses.
                if (lastAngle < MIN_CORNER_SEPARATION_DEG) {
                    admitted = false;
                    break;
                }
            }
            const double distance = getDistance(p, centroid);
            if (admitted && distance > bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        // The last angle computed, that of the last outline point: a trace, not a result.
        if (pass > 0) console << "delta " << lastAngle << std::endl;
        if (best < 0) {
            throw SectionError("aucun point du contour ne peut être le coin " +
                               std::to_string(pass + 1) + " : la section n'entoure pas son centre");
        }
        found.push_back(best);
    }
    return found;
}

std::vector<int> findHollowIndices(const std::vector<cv::Point>& outline, cv::Point centroid,
                                   std::vector<int> cornerIndices) {
    std::sort(cornerIndices.begin(), cornerIndices.end());
    const int n = static_cast<int>(outline.size());
    std::vector<int> hollowIndices;
    for (int k = 0; k < LOBE_COUNT; ++k) {
        const int a = cornerIndices[(k + LOBE_COUNT - 1) % LOBE_COUNT];
        const int b = cornerIndices[k];
        const int lo = std::min(a, b);
        const int hi = std::max(a, b);
        std::vector<int> candidates;
        if (lo + n - hi < hi - lo) {
            for (int i = hi; i < n; ++i) candidates.push_back(i);
            for (int i = 0; i < lo; ++i) candidates.push_back(i);
        } else {
            for (int i = lo; i < hi; ++i) candidates.push_back(i);
        }
        double bestDistance = NO_HOLLOW_YET_DISTANCE;
        int best = -1;
        for (int i : candidates) {
            const double distance = getDistance(outline[i], centroid);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        if (best < 0) {
            throw SectionError("deux coins se confondent : le creux " + std::to_string(k + 1) +
                               " n'a aucun point candidat");
        }
        hollowIndices.push_back(best);
    }
    return hollowIndices;
}

HollowDepth measureHollowDepth(const std::vector<cv::Point>& outline,
                               const std::vector<cv::Point>& hull, int h) {
    const cv::Point hollow = outline[h];
    const cv::Point a = firstHullVertexFrom(outline, hull, h, -1);
    const cv::Point b = firstHullVertexFrom(outline, hull, h, +1);
    const Segment chord(a, b);
    const Segment perpendicular(hollow, chord.getAngle() + PERPENDICULAR_TURN,
                                PERPENDICULAR_LENGTH);
    const cv::Point foot = chord.getIntersection(perpendicular);
    if (foot != geometry::NO_POINT) return {chord, Segment(foot, hollow)};
    // Without a foot, measuring from (-1, -1) would give the distance to the image corner;
    // the nearer chord end is the honest bound.
    const cv::Point nearer = getDistance(b, hollow) < getDistance(a, hollow) ? b : a;
    return {chord, Segment(nearer, hollow)};
}

CornersAndHollows detectCornersAndHollows(const std::vector<cv::Point>& outline, cv::Mat annotated,
                                          const output::ImageWriter& writeImage,
                                          std::ostream& console) {
    const cv::Point centroid = getCentroid(outline);
    geometry::printPoint(centroid, console);
    geometry::drawCross(annotated, centroid, RED);

    const std::vector<int> cornerIndices = findCornerIndices(outline, centroid, console);
    for (int index : cornerIndices) geometry::drawCross(annotated, outline[index], RED);

    const std::vector<int> hollowIndices = findHollowIndices(outline, centroid, cornerIndices);
    CornersAndHollows found;
    std::copy(cornerIndices.begin(), cornerIndices.end(), found.cornerIndices.begin());
    std::sort(found.cornerIndices.begin(), found.cornerIndices.end());
    Hollows& hollows = found.hollows;
    for (int k = 0; k < LOBE_COUNT; ++k) {
        hollows[k].index = hollowIndices[k];
        hollows[k].point = outline[hollowIndices[k]];
        geometry::drawCross(annotated, hollows[k].point, BLUE);
    }

    std::vector<cv::Point> hull;
    cv::convexHull(outline, hull, false, true);
    for (Hollow& hollow : hollows) {
        const HollowDepth depth = measureHollowDepth(outline, hull, hollow.index);
        geometry::draw(depth.chord, annotated, 2, GREEN);
        geometry::draw(depth.depthSegment, annotated, 2, CYAN);
        hollow.depth = depth.depthSegment.getLength() * PIXEL_TO_MM;
    }
    writeImage(OVERVIEW_FILE, annotated);
    return found;
}

}  // namespace plantscan::section
