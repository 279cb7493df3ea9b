#pragma once

#include "geometry/primitives.h"
#include "section_measure/section.h"

#include <opencv2/core.hpp>

#include <vector>

struct Hollows {
    std::vector<cv::Point> hollows;
    std::vector<int> hollowIndices;
    std::vector<double> hollowDepths;  // millimetres
};

// The hull chord spanning a hollow and the segment along which its depth is measured.
struct HollowDepth {
    Segment chord;
    Segment depthSegment;
};

// Integer mean of the outline points, each coordinate truncated toward zero.
cv::Point getCentroid(const std::vector<cv::Point>& outline);

// Outline indices of the five corners in the order found (farthest from the centroid first,
// each later one at least 35 degrees from those before); prints a "delta " line per later pass.
// Throws SectionError when a pass admits no point.
std::vector<int> findCornerIndices(const std::vector<cv::Point>& outline, cv::Point centroid);

// Outline index of the hollow on the shorter arc between each two successive corners; entry 0
// lies between the last and the first corner in outline order.
std::vector<int> findHollowIndices(const std::vector<cv::Point>& outline, cv::Point centroid,
                                   std::vector<int> cornerIndices);

// Chord between the hull vertices met first walking back and forth from the hollow at index h,
// and the depth segment from the chord to the hollow.
HollowDepth measureHollowDepth(const std::vector<cv::Point>& outline,
                               const std::vector<cv::Point>& hull, int h);

// Corners, hollows and hollow depths, drawn into `annotated`, which is then written as "res.jpg".
Hollows detectCornersAndHollows(const std::vector<cv::Point>& outline, cv::Mat annotated,
                                const ImageWriter& writeImage);
