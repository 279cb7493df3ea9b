#include "section_measure/grab_cut/colour_index.h"

#include "section_measure/grab_cut/input_checks.h"

#include <cstdlib>
#include <memory>
#include <new>

namespace plantscan::section {

ColourIndex indexColours(const cv::Mat& image) {
    // Place + 1 of every possible colour. Zeroed by calloc, whose untouched pages cost nothing:
    // an image uses a few of them.
    constexpr std::size_t POSSIBLE_COLOURS = std::size_t{1} << 24;
    const std::unique_ptr<std::uint32_t, decltype(&std::free)> placeOf(
        static_cast<std::uint32_t*>(std::calloc(POSSIBLE_COLOURS, sizeof(std::uint32_t))),
        &std::free);
    if (!placeOf) throw std::bad_alloc();
    ColourIndex index;
    index.ofPixel.resize(image.total());
    std::uint32_t* out = index.ofPixel.data();
    for (int y = 0; y < image.rows; ++y) {
        const uchar* pixel = image.ptr<uchar>(y);
        for (int x = 0; x < image.cols; ++x, pixel += 3) {
            const ColourKey key = keyOf(pixel);
            std::uint32_t& place = placeOf.get()[key];
            if (place == 0) {
                index.keys.push_back(key);
                place = static_cast<std::uint32_t>(index.keys.size());
            }
            *out++ = place - 1;
        }
    }
    return index;
}

ClassSamples samplesOfClasses(const ColourIndex& index, const cv::Mat& mask) {
    ClassSamples classes;
    constexpr std::uint32_t UNSEEN = 0xffffffff;
    std::vector<std::uint32_t> placeIn[2] = {std::vector<std::uint32_t>(index.keys.size(), UNSEEN),
                                             std::vector<std::uint32_t>(index.keys.size(), UNSEEN)};
    std::size_t counts[2] = {0, 0};
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* labels = mask.ptr<uchar>(y);
        for (int x = 0; x < mask.cols; ++x) ++counts[isBackground(labels[x]) ? 0 : 1];
    }
    for (int cls = 0; cls < 2; ++cls) classes.samples[cls].colour.reserve(counts[cls]);
    const std::uint32_t* colourOf = index.ofPixel.data();
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* labels = mask.ptr<uchar>(y);
        for (int x = 0; x < mask.cols; ++x) {
            const int cls = isBackground(labels[x]) ? 0 : 1;
            const std::uint32_t global = *colourOf++;
            std::uint32_t& local = placeIn[cls][global];
            ColourSamples& samples = classes.samples[cls];
            if (local == UNSEEN) {
                local = static_cast<std::uint32_t>(samples.palette.size());
                samples.palette.push_back(index.keys[global]);
                classes.indexOf[cls].push_back(global);
            }
            samples.colour.push_back(local);
        }
    }
    return classes;
}

}  // namespace plantscan::section
