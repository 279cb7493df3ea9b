// The distinct colours of an image, which one each pixel has, and a class's pixels as colours:
// what is computed once per colour rather than once per pixel rests on it.
#pragma once

#include "section_measure/grab_cut/row_stripes.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace plantscan::section {

// A colour as one number: B | G << 8 | R << 16.
using ColourKey = std::uint32_t;

inline ColourKey keyOf(const uchar* pixel) {
    return pixel[0] | (ColourKey{pixel[1]} << 8) | (ColourKey{pixel[2]} << 16);
}
inline int channelOf(ColourKey key, int channel) { return (key >> (8 * channel)) & 255; }

struct ColourIndex {
    std::vector<ColourKey> keys;  // each distinct colour once, in order of first sight
    Places ofPixel;               // per pixel, row after row: its colour's place in keys
};

// Throws std::bad_alloc when the look-up table cannot be had.
ColourIndex indexColours(const cv::Mat& image);

// Samples as k-means takes them: one colour each, in their order.
struct ColourSamples {
    std::vector<ColourKey> palette;  // the distinct colours among them
    Places colour;                   // per sample: its colour's place in palette
};

// The pixels of each grabCut class (background first) in pixel order, and for each class the
// place in `index.keys` of each of its palette's colours (in the order of those places). Made
// on OpenCV's threads.
struct ClassSamples {
    ColourSamples samples[2];
    std::vector<std::uint32_t> indexOf[2];
};
ClassSamples samplesOfClasses(const ColourIndex& index, const cv::Mat& mask);

}  // namespace plantscan::section
