#include "plantscan/section.h"

#include "library/boundary.h"
#include "section_measure/pipeline.h"
#include "section_measure/report.h"

#include <stdexcept>

static_assert(plantscan::LOBE_COUNT == plantscan::section::LOBE_COUNT);

namespace plantscan {

namespace {

// Runs `stages` with what the caller asked to see, and turns what they throw into the library's
// errors. The program's console line for an empty contour goes to the console as it does there.
template <typename Stages>
auto runStages(const Outputs& outputs, const Stages& stages) {
    std::ostream silent(nullptr);
    const char* stage = section::STAGE.segmentation;
    const section::RunOutputs run{
        outputs.console != nullptr ? *outputs.console : silent,
        outputs.writeImage ? outputs.writeImage : [](const std::string&, const cv::Mat&) {},
        [&stage](const char* next) { stage = next; }};
    try {
        return stages(run);
    } catch (const section::SectionError& error) {
        if (error.isConsoleLine) run.console << error.what() << std::endl;
        detail::rethrowAsLibraryError(stage, detail::Language::FRENCH);
    } catch (...) {
        detail::rethrowAsLibraryError(stage, detail::Language::FRENCH);
    }
}

Circle toCircle(const geometry::Circle& circle) { return {circle.center, circle.getRadius()}; }

// The one mapping between the stages' values and the library's: `visit(stages, library)` for
// each value, either way.
template <typename Stages, typename Library, typename Visit>
void forEachValue(Stages& m, Library& value, Visit visit) {
    visit(m.sectionWidth, value.width);
    visit(m.angleRadii, value.cornerRadii);
    visit(m.hollowRadii, value.hollowRadii);
    visit(m.hollowDepths, value.hollowDepths);
    visit(m.hollowDistances, value.hollowDistances);
    visit(m.hollowRatios, value.hollowRatios);
    visit(m.circumscribedDiameter, value.circumscribedDiameter);
    visit(m.inscribedDiameter, value.inscribedDiameter);
}

SectionMeasurement toMeasurement(const section::MeasuredSection& measured) {
    const section::SectionMeasurements& m = measured.measurements;
    SectionMeasurement value;
    forEachValue(m, value, [](const auto& from, auto& to) { to = from; });
    value.outline = measured.outline;
    const section::CornersAndHollows& found = measured.cornersAndHollows;
    for (int k = 0; k < LOBE_COUNT; ++k) {
        // Hollow k lies between the corners k - 1 and k in outline order, so the corner measured
        // between hollows k - 1 and k is the corner k - 1.
        value.corners[k] = measured.outline[found.cornerIndices[(k + LOBE_COUNT - 1) % LOBE_COUNT]];
        value.hollows[k] = found.hollows[k].point;
        value.cornerCircles[k] = toCircle(m.angleCircles[k]);
        value.hollowCircles[k] = toCircle(m.hollowCircles[k]);
    }
    value.circumscribedCircle = toCircle(m.circumscribedCircle);
    value.inscribedCircle = toCircle(m.inscribedCircle);
    return value;
}

section::SectionMeasurements reportValues(const SectionMeasurement& value) {
    section::SectionMeasurements m;
    forEachValue(m, value, [](auto& to, const auto& from) { to = from; });
    return m;
}

}  // namespace

cv::Mat segmentSection(const cv::Mat& scan, const Outputs& outputs) {
    const cv::Mat image = detail::colourScan(scan);
    return runStages(outputs, [&image](const section::RunOutputs& run) {
        return section::segmentSection(image, run.writeImage, run.console).foreground;
    });
}

SectionMeasurement measureSectionMask(const cv::Mat& mask, const cv::Mat& scan,
                                      const Outputs& outputs) {
    const cv::Mat image = detail::colourScan(scan);
    if (mask.type() != CV_8UC1 || mask.size() != image.size())
        throw std::invalid_argument("a section mask is 8-bit, one channel, the size of the scan");
    return runStages(outputs, [&](const section::RunOutputs& run) {
        return toMeasurement(section::measureForeground(mask, image, image.size(), run));
    });
}

SectionMeasurement measureSection(const cv::Mat& scan, const Outputs& outputs) {
    const cv::Mat image = detail::colourScan(scan);
    return measureSectionMask(segmentSection(image, outputs), image, outputs);
}

std::string formatReport(const SectionMeasurement& measurement) {
    return section::formatMeasurementReport(reportValues(measurement));
}

bool writeReport(const SectionMeasurement& measurement, const std::string& path) {
    return section::writeMeasurementReport(reportValues(measurement), path);
}

}  // namespace plantscan
