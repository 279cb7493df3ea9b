#pragma once

#include "geometry/circle.h"
#include "section_measure/corners_hollows.h"
#include "section_measure/section.h"

#include <opencv2/core.hpp>

#include <array>
#include <ostream>
#include <vector>

namespace plantscan::section {

// Every length in millimetres; entry k - 1 of each sequence belongs to angle/hollow k.
struct SectionMeasurements {
    using PerLobe = std::array<double, LOBE_COUNT>;

    double sectionWidth = 0.0;
    PerLobe angleRadii{};
    PerLobe hollowRadii{};
    PerLobe hollowDepths{};
    PerLobe hollowDistances{};
    PerLobe hollowRatios{};  // percent of the circumscribed radius
    double circumscribedDiameter = 0.0;
    double inscribedDiameter = 0.0;

    // The circles those values come from, in pixels.
    std::array<geometry::Circle, LOBE_COUNT> angleCircles{};
    std::array<geometry::Circle, LOBE_COUNT> hollowCircles{};
    geometry::Circle circumscribedCircle;
    geometry::Circle inscribedCircle;
};

// The outline points from index a to index b the shorter way round, the far bound excluded.
std::vector<cv::Point> shorterArc(const std::vector<cv::Point>& outline, int a, int b);

// Greatest distance between two outline points, in pixels.
double getSectionWidth(const std::vector<cv::Point>& outline);

// Half the number of outline points fitted around a hollow with this opening angle (degrees).
int hollowHalfWindow(double hollowAngle);

// Prints each value on `console` as it is measured and writes "rayonsCourbureAngles.jpg",
// "rayonsCourbureCreux.jpg", "cercleCirconscrit.jpg" and "cercleInscrit.jpg".
// Throws SectionError when an arc is too short for a circle fit.
SectionMeasurements measureFeatures(const cv::Mat& image, cv::Size size,
                                    const std::vector<cv::Point>& outline, const Hollows& hollows,
                                    const output::ImageWriter& writeImage, std::ostream& console);

}  // namespace plantscan::section
