// The small generated scans the tests share: a section centred on its scan.
#pragma once

#include "tools/scan_synth.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cstdint>
#include <string>
#include <vector>

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

// `image` as a JPEG whose JFIF segment states `density` dots per inch (units 1) or per
// centimetre (2), as a scanner's driver writes it.
inline std::string jpegStating(const cv::Mat& image, int units, int density) {
    std::vector<uchar> bytes;
    cv::imencode(".jpg", image, bytes);
    bytes[13] = static_cast<uchar>(units);
    for (const std::size_t at : {14, 16}) {
        bytes[at] = static_cast<uchar>(density >> 8);
        bytes[at + 1] = static_cast<uchar>(density & 0xFF);
    }
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace test_support
