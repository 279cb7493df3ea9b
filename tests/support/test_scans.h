// The small generated scans the tests share: a section centred on its scan.
#pragma once

#include "tools/scan_synth.h"

#include <cstdint>

namespace test_support {

// A section of `radius` pixels centred on a width x height scan, turned by `rotationDeg`.
inline plantscan::tools::SectionScanParams centredSection(int width, int height, double radius,
                                                          double rotationDeg = 0,
                                                          std::uint64_t seed = 1) {
    plantscan::tools::SectionScanParams params;
    params.width = width;
    params.height = height;
    params.center = {width / 2.0, height / 2.0};
    params.radius = radius;
    params.rotationDeg = rotationDeg;
    params.seed = seed;
    return params;
}

// The 300 x 300 section most program tests measure: a second or so.
inline plantscan::tools::SectionScanParams smallSection() { return centredSection(300, 300, 110); }

}  // namespace test_support
