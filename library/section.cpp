#include "plantscan/section.h"

#include "library/boundary.h"
#include "section_measure/pipeline.h"
#include "section_measure/report.h"

#include <stdexcept>

static_assert(plantscan::LOBE_COUNT == ::LOBE_COUNT);

namespace plantscan {

namespace {

// Runs `stages` with what the caller asked to see, and turns what they throw into the library's
// errors. The program's console line for an empty contour goes to the console as it does there.
template <typename Stages>
auto runStages(const Outputs& outputs, const Stages& stages) {
    std::ostream silent(nullptr);
    const char* stage = STAGE_SEGMENTATION;
    const RunOutputs run{
        outputs.console != nullptr ? *outputs.console : silent,
        outputs.writeImage ? outputs.writeImage : [](const std::string&, const cv::Mat&) {},
        [&stage](const char* next) { stage = next; }};
    try {
        return stages(run);
    } catch (const SectionError& error) {
        if (error.isConsoleLine) run.console << error.what() << std::endl;
        detail::rethrowAsLibraryError(stage, detail::Language::FRENCH);
    } catch (...) {
        detail::rethrowAsLibraryError(stage, detail::Language::FRENCH);
    }
}

Circle toCircle(const geometry::Circle& circle) { return {circle.center, circle.getRadius()}; }

SectionMeasurement toMeasurement(const MeasuredSection& section) {
    const SectionMeasurements& m = section.measurements;
    SectionMeasurement value;
    value.width = m.sectionWidth;
    value.cornerRadii = m.angleRadii;
    value.hollowRadii = m.hollowRadii;
    value.hollowDepths = m.hollowDepths;
    value.hollowDistances = m.hollowDistances;
    value.hollowRatios = m.hollowRatios;
    value.circumscribedDiameter = m.circumscribedDiameter;
    value.inscribedDiameter = m.inscribedDiameter;

    value.outline = section.outline;
    const CornersAndHollows& found = section.cornersAndHollows;
    for (int k = 0; k < LOBE_COUNT; ++k) {
        // Hollow k lies between the corners k - 1 and k in outline order, so the corner measured
        // between hollows k - 1 and k is the corner k - 1.
        value.corners[k] = section.outline[found.cornerIndices[(k + LOBE_COUNT - 1) % LOBE_COUNT]];
        value.hollows[k] = found.hollows[k].point;
        value.cornerCircles[k] = toCircle(m.angleCircles[k]);
        value.hollowCircles[k] = toCircle(m.hollowCircles[k]);
    }
    value.circumscribedCircle = toCircle(m.circumscribedCircle);
    value.inscribedCircle = toCircle(m.inscribedCircle);
    return value;
}

SectionMeasurements reportValues(const SectionMeasurement& value) {
    SectionMeasurements m;
    m.sectionWidth = value.width;
    m.angleRadii = value.cornerRadii;
    m.hollowRadii = value.hollowRadii;
    m.hollowDepths = value.hollowDepths;
    m.hollowDistances = value.hollowDistances;
    m.hollowRatios = value.hollowRatios;
    m.circumscribedDiameter = value.circumscribedDiameter;
    m.inscribedDiameter = value.inscribedDiameter;
    return m;
}

}  // namespace

cv::Mat segmentSection(const cv::Mat& scan, const Outputs& outputs) {
    const cv::Mat image = detail::colourScan(scan);
    return runStages(outputs, [&image](const RunOutputs& run) {
        return ::segmentSection(image, run.writeImage, run.console).foreground;
    });
}

SectionMeasurement measureSectionMask(const cv::Mat& section, const cv::Mat& scan,
                                      const Outputs& outputs) {
    const cv::Mat image = detail::colourScan(scan);
    if (section.type() != CV_8UC1 || section.size() != image.size())
        throw std::invalid_argument("a section mask is 8-bit, one channel, the size of the scan");
    return runStages(outputs, [&](const RunOutputs& run) {
        return toMeasurement(measureForeground(section, image, image.size(), run));
    });
}

SectionMeasurement measureSection(const cv::Mat& scan, const Outputs& outputs) {
    const cv::Mat image = detail::colourScan(scan);
    return measureSectionMask(segmentSection(image, outputs), image, outputs);
}

std::string formatReport(const SectionMeasurement& measurement) {
    return formatMeasurementReport(reportValues(measurement));
}

bool writeReport(const SectionMeasurement& measurement, const std::string& path) {
    return writeMeasurementReport(reportValues(measurement), path);
}

}  // namespace plantscan
