#pragma once

#include "geometry/segment.h"
#include "section_measure/section.h"

#include <opencv2/core.hpp>

#include <array>
#include <ostream>
#include <vector>

namespace plantscan::section {

// A hollow ("creux") of the section: where it lies on the outline and how deep it is.
struct Hollow {
    int index = 0;       // in the outline
    cv::Point point;     // the outline point at `index`
    double depth = 0.0;  // millimetres below its hull chord
};

// Entry 0 lies between the last and the first corner in outline order, entry k between the
// corners k - 1 and k.
using Hollows = std::array<Hollow, LOBE_COUNT>;

struct CornersAndHollows {
    std::array<int, LOBE_COUNT> cornerIndices{};  // in the outline, in outline order
    Hollows hollows;
};

// The hull chord spanning a hollow and the segment along which its depth is measured.
struct HollowDepth {
    geometry::Segment chord;
    geometry::Segment depthSegment;
};

// Integer mean of the outline points, each coordinate truncated toward zero.
cv::Point getCentroid(const std::vector<cv::Point>& outline);

// Outline indices of the corners in the order found (farthest from the centroid first, each later
// one at least MIN_CORNER_SEPARATION_DEG from those before); prints a "delta " line per later
// pass on `console`. Throws SectionError when a pass admits no point.
std::vector<int> findCornerIndices(const std::vector<cv::Point>& outline, cv::Point centroid,
                                   std::ostream& console);

// Outline index of the hollow on the shorter arc between each two successive corners, in the
// order of Hollows.
std::vector<int> findHollowIndices(const std::vector<cv::Point>& outline, cv::Point centroid,
                                   std::vector<int> cornerIndices);

// Chord between the hull vertices met first walking back and forth from the hollow at index h,
// and the depth segment from the chord to the hollow.
HollowDepth measureHollowDepth(const std::vector<cv::Point>& outline,
                               const std::vector<cv::Point>& hull, int h);

// Corners, hollows and hollow depths, drawn into `annotated`, which is then written as "res.jpg";
// the centroid and "delta " lines go to `console`.
CornersAndHollows detectCornersAndHollows(const std::vector<cv::Point>& outline, cv::Mat annotated,
                                          const output::ImageWriter& writeImage,
                                          std::ostream& console);

}  // namespace plantscan::section
