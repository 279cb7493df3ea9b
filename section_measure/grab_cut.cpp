#include "section_measure/grab_cut.h"

#include "section_measure/grab_cut/colour_index.h"
#include "section_measure/grab_cut/colour_model.h"
#include "section_measure/grab_cut/grid_graph.h"
#include "section_measure/grab_cut/input_checks.h"
#include "section_measure/grab_cut/kmeans.h"
#include "section_measure/grab_cut/max_flow.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Identity with cv::grabCut rests on three things: the colour models use OpenCV's expressions in
// OpenCV's order (sums of 8-bit values and of their products are exact integers, so only those
// may be gathered in another order); the initial models come from k-means with cv::kmeans's
// numbers and draws from the calling thread's cv::theRNG(); and the max-flow visits vertices
// and edges in the order of OpenCV's GCGraph.

namespace plantscan::section {

namespace {

constexpr double LAMBDA = 9 * 50.0;  // grabCut's terminal weight of a sure label: 9 gamma

// Pixels of each colour in each class: per class, per colour.
using ClassCounts = std::vector<std::int64_t>[2];

// The models cv::grabCut starts from: k-means on each class's colours, background first, their
// draws made in cv::grabCut's order before both run at once. Also counts each class's pixels of
// each colour.
void initialModels(const ColourIndex& colours, const cv::Mat& mask, ColourModel models[2],
                   ClassCounts& counts, const GrabCutPartHook& beginPart) {
    const ClassSamples classes = samplesOfClasses(colours, mask);
    requireThat(!classes.samples[0].colour.empty() && !classes.samples[1].colour.empty(),
                "grabCut needs pixels of both classes");
    KMeansDraws draws[2];
    for (int cls = 0; cls < 2; ++cls) {
        const int n =
            static_cast<int>(std::min<std::size_t>(classes.samples[cls].colour.size(), COMPONENTS));
        draws[cls] = drawForKMeans(n, cv::theRNG());
    }
    beginPart("k-means");
    ClusterSeeds seeds[2];
    ColourClusters clusters[2];
    cv::parallel_for_(
        cv::Range(0, 2),
        [&](const cv::Range& range) {
            for (int cls = range.start; cls < range.end; ++cls) {
                seeds[cls] = seedClusters(classes.samples[cls], draws[cls]);
                clusters[cls] = refineClusters(classes.samples[cls], seeds[cls]);
            }
        },
        2);
    for (int cls = 0; cls < 2; ++cls) {
        const ColourSamples& samples = classes.samples[cls];
        counts[cls].assign(colours.keys.size(), 0);
        ModelSums sums;
        for (std::size_t c = 0; c < samples.palette.size(); ++c) {
            const ColourKey key = samples.palette[c];
            const std::uint32_t n = seeds[cls].samplesOfColour[c];
            counts[cls][classes.indexOf[cls][c]] = n;
            sums.component[clusters[cls].labelOfColour[c]].add(channelOf(key, 0), channelOf(key, 1),
                                                               channelOf(key, 2), n);
        }
        for (const auto& [sample, label] : clusters[cls].movedSamples) {
            const std::uint32_t c = samples.colour[sample];
            const ColourKey key = samples.palette[c];
            sums.component[clusters[cls].labelOfColour[c]].add(channelOf(key, 0), channelOf(key, 1),
                                                               channelOf(key, 2), -1);
            sums.component[label].add(channelOf(key, 0), channelOf(key, 1), channelOf(key, 2));
        }
        models[cls].learn(sums);
    }
}

// A sure label never changes: its pixel's start weight becomes one of two entries past the
// colours' (background, then foreground), and its class's colour count stays as it is.
void setSurePixelsApart(const cv::Mat& mask, std::vector<std::uint32_t>& startIndex,
                        std::size_t colours, ClassCounts& sureCounts) {
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* labels = mask.ptr<uchar>(y);
        std::uint32_t* index = &startIndex[static_cast<std::size_t>(y) * mask.cols];
        for (int x = 0; x < mask.cols; ++x) {
            if (labels[x] != cv::GC_BGD && labels[x] != cv::GC_FGD) continue;
            const int cls = labels[x] == cv::GC_BGD ? 0 : 1;
            ++sureCounts[cls][index[x]];
            index[x] = static_cast<std::uint32_t>(colours + cls);
        }
    }
}

// Pixels of each colour in each class, counted on OpenCV's threads in parts of rows.
class PartCounts {
public:
    PartCounts(std::size_t colours, int rows) : colours_(colours) {
        // Each part has its own counts: few parts when colours are many.
        const std::size_t budget = std::size_t{1} << 23;
        const std::size_t byMemory = std::max<std::size_t>(1, budget / (2 * colours + 1));
        parts_ = static_cast<int>(
            std::min<std::size_t>({static_cast<std::size_t>(std::max(1, cv::getNumThreads())),
                                   static_cast<std::size_t>(std::max(1, rows)), byMemory}));
        counts_.assign(static_cast<std::size_t>(parts_) * 2 * colours, 0);
    }

    // Calls pass(y0, y1, count) over parts of `rows`, count[cls * colours + colour] to be raised;
    // then adds `base` and sets `total`.
    template <class Pass>
    void countRows(int rows, Pass pass, const ClassCounts& base, ClassCounts& total) {
        std::fill(counts_.begin(), counts_.end(), 0);
        cv::parallel_for_(
            cv::Range(0, parts_),
            [&](const cv::Range& range) {
                for (int part = range.start; part < range.end; ++part) {
                    pass(static_cast<int>(static_cast<std::int64_t>(rows) * part / parts_),
                         static_cast<int>(static_cast<std::int64_t>(rows) * (part + 1) / parts_),
                         &counts_[static_cast<std::size_t>(part) * 2 * colours_]);
                }
            },
            parts_);
        for (int cls = 0; cls < 2; ++cls) {
            total[cls] = base[cls];
            for (int part = 0; part < parts_; ++part) {
                const std::uint32_t* count =
                    &counts_[(static_cast<std::size_t>(part) * 2 + cls) * colours_];
                for (std::size_t c = 0; c < colours_; ++c) total[cls][c] += count[c];
            }
        }
    }

private:
    std::size_t colours_;
    int parts_ = 1;
    std::vector<std::uint32_t> counts_;
};

// The labels the flow gives the probable pixels of rows [y0, y1) of `mask`, and every probable
// pixel counted per class and colour (count[cls * colours + colour]), by runs of one colour and
// class, long in a plain scan. Locals only: a store to the mask may alias anything else.
void takeLabels(const GridGraph& graph, const std::vector<std::uint32_t>& startIndex,
                std::size_t colourCount, cv::Mat& mask, int y0, int y1, std::uint32_t* count) {
    const std::uint8_t* flags = graph.flags.get();
    const Vertex* vertex = graph.vertex.get();
    const std::uint32_t colours = static_cast<std::uint32_t>(colourCount);
    const int cols = mask.cols;
    std::uint32_t runOf = 0, run = 0;
    for (int y = y0; y < y1; ++y) {
        uchar* labels = mask.ptr<uchar>(y);
        const std::uint32_t* index = startIndex.data() + static_cast<std::size_t>(y) * cols;
        const int first = graph.at(y, 0);
        for (int x = 0; x < cols; ++x) {
            const std::uint32_t c = index[x];
            if (c >= colours) continue;  // a sure label
            // inSourceSegment's answer, without its loads
            const std::uint8_t f = flags[first + x];
            const bool sink =
                (f & INTERIOR) ? (f & STARTS_IN_SINK) != 0 : vertex[first + x].tree != 0;
            labels[x] = sink ? cv::GC_PR_BGD : cv::GC_PR_FGD;
            const std::uint32_t of = (sink ? 0 : colours) + c;
            if (of != runOf) {
                count[runOf] += run;
                runOf = of;
                run = 0;
            }
            ++run;
        }
    }
    count[runOf] += run;
}

}  // namespace

void grabCutFromMask(const cv::Mat& image, cv::Mat& mask, int iterations,
                     const GrabCutPartHook& hook) {
    const GrabCutPartHook beginPart = hook ? hook : [](const char*) {};
    beginPart("input check");
    const bool sureLabels = checkGrabCutInput(image, mask);
    beginPart("colour index");
    ColourIndex colours = indexColours(image);
    const std::size_t colourCount = colours.keys.size();
    beginPart("class samples");
    ColourModel models[2];
    ClassCounts counts;
    initialModels(colours, mask, models, counts, beginPart);
    if (iterations <= 0) {
        beginPart("");
        return;
    }

    const int rows = image.rows;
    beginPart("colour models");
    ColourVerdicts verdicts;
    judgeColours(colours.keys, models, verdicts);
    beginPart("labels and counts");
    // Each pixel's start weight: its colour's while its label is probable, else lambda's.
    std::vector<std::uint32_t> startIndex = std::move(colours.ofPixel);
    ClassCounts sureCounts = {std::vector<std::int64_t>(colourCount, 0),
                              std::vector<std::int64_t>(colourCount, 0)};
    if (sureLabels) setSurePixelsApart(mask, startIndex, colourCount, sureCounts);
    std::vector<double> startWeight;
    const StartWeights start{startWeight, startIndex};
    PartCounts partCounts(colourCount, rows);
    beginPart("graph");
    GridGraph graph(image, edgeCapacities(image));

    for (int iteration = 0; iteration < iterations; ++iteration) {
        beginPart("colour models");
        // Each pixel joins its class's likeliest component under the previous models; sums of
        // integers, so counting pixels per colour and class first changes nothing.
        ModelSums sums[2];
        for (std::size_t c = 0; c < colourCount; ++c) {
            const ColourKey key = colours.keys[c];
            for (int cls = 0; cls < 2; ++cls) {
                if (counts[cls][c])
                    sums[cls].component[verdicts.component[cls][c]].add(
                        channelOf(key, 0), channelOf(key, 1), channelOf(key, 2), counts[cls][c]);
            }
        }
        models[0].learn(sums[0]);
        models[1].learn(sums[1]);
        judgeColours(colours.keys, models, verdicts);
        startWeight = verdicts.weight;
        startWeight.push_back(0 - LAMBDA);
        startWeight.push_back(LAMBDA - 0);

        beginPart("graph reset");
        startSearch(graph, start);
        beginPart("max-flow");
        maxFlow(graph, start);

        // The new labels, and the counts the next round starts from.
        beginPart("labels and counts");
        partCounts.countRows(
            rows,
            [&](int y0, int y1, std::uint32_t* count) {
                takeLabels(graph, startIndex, colourCount, mask, y0, y1, count);
            },
            sureCounts, counts);
    }
    beginPart("");
}

}  // namespace plantscan::section
