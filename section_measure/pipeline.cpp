#include "section_measure/pipeline.h"

#include "section_measure/corners_hollows.h"
#include "section_measure/outline.h"

namespace plantscan::section {

namespace {

void begin(const RunOutputs& outputs, const char* stage) {
    if (outputs.beginStage) outputs.beginStage(stage);
}

}  // namespace

MeasuredSection measureForeground(const cv::Mat& foreground, const cv::Mat& image, cv::Size size,
                                  const RunOutputs& outputs) {
    MeasuredSection section;
    begin(outputs, STAGE.outline);
    // Collects the contours, then the corners, hollows and chords, for "res.jpg".
    cv::Mat annotated = image.clone();
    section.outline = extractOutline(foreground, annotated, size);

    begin(outputs, STAGE.cornersHollows);
    section.cornersAndHollows =
        detectCornersAndHollows(section.outline, annotated, outputs.writeImage, outputs.console);

    begin(outputs, STAGE.measurements);
    section.measurements =
        measureFeatures(image, size, section.outline, section.cornersAndHollows.hollows,
                        outputs.writeImage, outputs.console);
    return section;
}

MeasuredSection measureScan(const cv::Mat& image, const RunOutputs& outputs,
                            const GrabCutStep& grabCut) {
    begin(outputs, STAGE.segmentation);
    const Segmentation segmentation =
        segmentSection(image, outputs.writeImage, outputs.console, grabCut);
    return measureForeground(segmentation.foreground, image, segmentation.sectionMask.size(),
                             outputs);
}

}  // namespace plantscan::section
