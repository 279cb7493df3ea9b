#include "section_measure/grab_cut/colour_index.h"

#include "section_measure/grab_cut/input_checks.h"
#include "section_measure/grab_cut/row_stripes.h"

#include <algorithm>
#include <atomic>

namespace plantscan::section {

namespace {

// Without the popcnt instruction, which the build may not assume, and without a library call.
int bitsSet(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ULL);
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
    return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}

}  // namespace

ColourIndex indexColours(const cv::Mat& image) {
    // A bit for every possible colour (2 MB), set on OpenCV's threads; a colour's place is the
    // count of colours below it, so the keys come in ascending order.
    constexpr std::size_t WORDS = (std::size_t{1} << 24) / 64;
    std::vector<std::atomic<std::uint64_t>> present(WORDS);
    forRowStripes(image.rows, [&](int, int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* pixel = image.ptr<uchar>(y);
            for (int x = 0; x < image.cols; ++x, pixel += 3) {
                const ColourKey key = keyOf(pixel);
                const std::uint64_t bit = std::uint64_t{1} << (key & 63);
                std::atomic<std::uint64_t>& word = present[key >> 6];
                // Most pixels repeat a colour seen before: a read, no write.
                if (!(word.load(std::memory_order_relaxed) & bit))
                    word.fetch_or(bit, std::memory_order_relaxed);
            }
        }
    });
    ColourIndex index;
    std::vector<std::uint64_t> bits(WORDS);
    std::vector<std::uint32_t> before(WORDS);
    std::uint32_t colours = 0;
    for (std::size_t w = 0; w < WORDS; ++w) {
        bits[w] = present[w].load(std::memory_order_relaxed);
        before[w] = colours;
        colours += static_cast<std::uint32_t>(bitsSet(bits[w]));
    }
    index.keys.reserve(colours);
    for (std::size_t w = 0; w < WORDS; ++w) {
        for (std::uint64_t rest = bits[w]; rest; rest &= rest - 1)
            index.keys.push_back(static_cast<ColourKey>(w * 64 + __builtin_ctzll(rest)));
    }
    index.ofPixel.resize(image.total());
    forRowStripes(image.rows, [&](int, int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* pixel = image.ptr<uchar>(y);
            std::uint32_t* out = &index.ofPixel[static_cast<std::size_t>(y) * image.cols];
            for (int x = 0; x < image.cols; ++x, pixel += 3) {
                const ColourKey key = keyOf(pixel);
                const std::uint64_t below = bits[key >> 6] & ((std::uint64_t{1} << (key & 63)) - 1);
                out[x] = before[key >> 6] + static_cast<std::uint32_t>(bitsSet(below));
            }
        }
    });
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
    for (int cls = 0; cls < 2; ++cls) {
        const auto present = [&](std::size_t c) {
            for (int part = 0; part < parts; ++part)
                if (has[(static_cast<std::size_t>(part) * 2 + cls) * colours + c]) return true;
            return false;
        };
        std::size_t count = 0;
        for (std::size_t c = 0; c < colours; ++c) count += present(c);
        classes.indexOf[cls].reserve(count);
        classes.samples[cls].palette.reserve(count);
        for (std::size_t c = 0; c < colours; ++c) {
            if (!present(c)) continue;
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
    has = std::vector<std::uint8_t>();
    // One class at a time, so that one map from places to palettes is held at once.
    std::vector<std::uint32_t> localOf(colours);
    for (int cls = 0; cls < 2; ++cls) {
        const std::vector<std::uint32_t>& places = classes.indexOf[cls];
        for (std::size_t i = 0; i < places.size(); ++i)
            localOf[places[i]] = static_cast<std::uint32_t>(i);
        const std::uint32_t* local = localOf.data();
        forParts([&](int part) {
            std::uint32_t* out = classes.samples[cls].colour.data() + samplesOf[2 * part + cls];
            for (int y = firstRow(part); y < firstRow(part + 1); ++y) {
                const uchar* labels = mask.ptr<uchar>(y);
                const std::uint32_t* colour = &index.ofPixel[static_cast<std::size_t>(y) * cols];
                for (int x = 0; x < cols; ++x) {
                    if ((isBackground(labels[x]) ? 0 : 1) == cls) *out++ = local[colour[x]];
                }
            }
        });
    }
    return classes;
}

}  // namespace plantscan::section
