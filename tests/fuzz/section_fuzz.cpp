// libFuzzer target: random masks through everything after the segmentation.
#include "mask_pipeline.h"

#include "section_measure/section.h"

#include <cstddef>
#include <cstdint>

using namespace plantscan::section;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cv::Mat mask = decodeMask(data, size);
    if (mask.empty()) return 0;
    try {
        measureMask(mask);
    } catch (const SectionError&) {
        // A shape that cannot be measured is an expected outcome.
    }
    return 0;
}
