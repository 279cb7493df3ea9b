#include "section_measure/grab_cut/colour_index.h"

#include "section_measure/grab_cut/input_checks.h"

#include <algorithm>
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
    const int rows = mask.rows, cols = mask.cols;
    const std::size_t colours = index.keys.size();
    // Parts of rows, each with its own flags of the colours each class has: few parts when
    // colours are many.
    const std::size_t byMemory = std::max<std::size_t>(1, (std::size_t{1} << 25) / (2 * colours));
    const int parts = static_cast<int>(
        std::min<std::size_t>({static_cast<std::size_t>(std::max(1, cv::getNumThreads())),
                               static_cast<std::size_t>(rows), byMemory}));
    const auto firstRow = [&](int part) {
        return static_cast<int>(static_cast<std::int64_t>(rows) * part / parts);
    };
    std::vector<std::uint8_t> has(static_cast<std::size_t>(parts) * 2 * colours, 0);
    std::vector<std::size_t> samplesOf(static_cast<std::size_t>(parts) * 2, 0);
    const auto forParts = [&](auto work) {
        cv::parallel_for_(
            cv::Range(0, parts),
            [&](const cv::Range& range) {
                for (int part = range.start; part < range.end; ++part) work(part);
            },
            parts);
    };
    forParts([&](int part) {
        // Locals: a store to the flags may alias anything else.
        std::uint8_t* flags = &has[static_cast<std::size_t>(part) * 2 * colours];
        std::uint8_t* hasOf[2] = {flags, flags + colours};
        std::size_t count[2] = {0, 0};
        for (int y = firstRow(part); y < firstRow(part + 1); ++y) {
            const uchar* labels = mask.ptr<uchar>(y);
            const std::uint32_t* colour = &index.ofPixel[static_cast<std::size_t>(y) * cols];
            for (int x = 0; x < cols; ++x) {
                const int cls = isBackground(labels[x]) ? 0 : 1;
                hasOf[cls][colour[x]] = 1;
                ++count[cls];
            }
        }
        samplesOf[2 * part] = count[0];
        samplesOf[2 * part + 1] = count[1];
    });

    // Each class's palette, in the order of the colours' places; the parts' first samples.
    ClassSamples classes;
    constexpr std::uint32_t ABSENT = 0xffffffff;
    std::vector<std::uint32_t> localOf[2] = {std::vector<std::uint32_t>(colours, ABSENT),
                                             std::vector<std::uint32_t>(colours, ABSENT)};
    for (int cls = 0; cls < 2; ++cls) {
        for (std::size_t c = 0; c < colours; ++c) {
            bool present = false;
            for (int part = 0; part < parts && !present; ++part)
                present = has[(static_cast<std::size_t>(part) * 2 + cls) * colours + c];
            if (!present) continue;
            localOf[cls][c] = static_cast<std::uint32_t>(classes.indexOf[cls].size());
            classes.indexOf[cls].push_back(static_cast<std::uint32_t>(c));
            classes.samples[cls].palette.push_back(index.keys[c]);
        }
        std::size_t total = 0;
        for (int part = 0; part < parts; ++part) {
            const std::size_t n = samplesOf[2 * part + cls];
            samplesOf[2 * part + cls] = total;
            total += n;
        }
        classes.samples[cls].colour.resize(total);
    }
    forParts([&](int part) {
        std::uint32_t* out[2] = {classes.samples[0].colour.data() + samplesOf[2 * part],
                                 classes.samples[1].colour.data() + samplesOf[2 * part + 1]};
        for (int y = firstRow(part); y < firstRow(part + 1); ++y) {
            const uchar* labels = mask.ptr<uchar>(y);
            const std::uint32_t* colour = &index.ofPixel[static_cast<std::size_t>(y) * cols];
            for (int x = 0; x < cols; ++x) {
                const int cls = isBackground(labels[x]) ? 0 : 1;
                *out[cls]++ = localOf[cls][colour[x]];
            }
        }
    });
    return classes;
}

}  // namespace plantscan::section
