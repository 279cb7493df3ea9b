#include "section_measure/grab_cut.h"

#include "section_measure/grab_cut/colour_index.h"
#include "section_measure/grab_cut/colour_model.h"
#include "section_measure/grab_cut/grid_graph.h"
#include "section_measure/grab_cut/input_checks.h"
#include "section_measure/grab_cut/kmeans.h"
#include "section_measure/grab_cut/max_flow.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Identity with cv::grabCut rests on three things: the colour models use OpenCV's expressions in
// OpenCV's order (sums of 8-bit values and of their products are exact integers, so only those
// may be gathered in another order); the initial models come from k-means with cv::kmeans's
// numbers and draws from the calling thread's cv::theRNG(); and the max-flow visits vertices
// and edges in the order of OpenCV's GCGraph.

namespace plantscan::section {

namespace {

constexpr double LAMBDA = 9 * 50.0;  // grabCut's terminal weight of a sure label: 9 gamma
constexpr int GRAPH_ROW_PARTS = 16;
constexpr int LABEL_PARTS = 16;

// Pixels of some colours in a class: their places in the colour index, and how many of each.
struct ColourCounts {
    std::vector<std::uint32_t> colour;
    std::vector<std::uint32_t> count;
};

void addColour(ModelSums& sums, int component, ColourKey key, std::int64_t times) {
    sums.component[component].add(channelOf(key, 0), channelOf(key, 1), channelOf(key, 2), times);
}

// The models cv::grabCut starts from: k-means on each class's colours, background first, their
// draws made in cv::grabCut's order before both run at once, and beside them the parts
// [0, alongsideParts) of `alongside`, work that needs neither, which the threads share out as
// they come free (the background's k-means is the longest and much of it one chain of sums).
// Also gives each class's colours.
void initialModels(const ColourIndex& colours, const cv::Mat& mask, ColourModel models[2],
                   ColourCounts counts[2], const std::function<void(int part)>& alongside,
                   int alongsideParts, const GrabCutPartHook& beginPart) {
    ClassSamples classes = samplesOfClasses(colours, mask);
    requireThat(!classes.samples[0].colour.empty() && !classes.samples[1].colour.empty(),
                "grabCut needs pixels of both classes");
    KMeansDraws draws[2];
    for (int cls = 0; cls < 2; ++cls) {
        const int n =
            static_cast<int>(std::min<std::size_t>(classes.samples[cls].colour.size(), COMPONENTS));
        draws[cls] = drawForKMeans(n, cv::theRNG());
    }
    beginPart("k-means and graph");
    ClusterSeeds seeds[2];
    ColourClusters clusters[2];
    // Each thread takes the next task when it comes free, the k-means first.
    const int tasks = 2 + alongsideParts;
    const int threads = std::max(1, std::min(cv::getNumThreads(), tasks));
    std::atomic<int> next(0);
    cv::parallel_for_(
        cv::Range(0, threads),
        [&](const cv::Range& range) {
            for (int thread = range.start; thread < range.end; ++thread) {
                for (int task; (task = next.fetch_add(1)) < tasks;) {
                    if (task >= 2) {
                        alongside(task - 2);
                        continue;
                    }
                    seeds[task] = seedClusters(classes.samples[task], draws[task]);
                    clusters[task] = refineClusters(classes.samples[task], seeds[task]);
                }
            }
        },
        threads);
    for (int cls = 0; cls < 2; ++cls) {
        const ColourSamples& samples = classes.samples[cls];
        ModelSums sums;
        for (std::size_t c = 0; c < samples.palette.size(); ++c) {
            addColour(sums, clusters[cls].labelOfColour[c], samples.palette[c],
                      seeds[cls].samplesOfColour[c]);
        }
        for (const auto& [sample, label] : clusters[cls].movedSamples) {
            const std::uint32_t c = samples.colour[sample];
            addColour(sums, clusters[cls].labelOfColour[c], samples.palette[c], -1);
            addColour(sums, label, samples.palette[c], 1);
        }
        models[cls].learn(sums);
        counts[cls] = {std::move(classes.indexOf[cls]), std::move(seeds[cls].samplesOfColour)};
    }
}

// A sure label never changes: its pixel's start weight becomes one of two entries past the
// colours' (background, then foreground), and it is counted once here, per class and colour.
void setSurePixelsApart(const cv::Mat& mask, Places& startIndex, std::size_t colours,
                        std::vector<std::uint32_t> sureCounts[2]) {
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* labels = mask.ptr<uchar>(y);
        std::uint32_t* index = &startIndex[static_cast<std::size_t>(y) * mask.cols];
        for (int x = 0; x < mask.cols; ++x) {
            if (labels[x] != cv::GC_BGD && labels[x] != cv::GC_FGD) continue;
            const int cls = labels[x] == cv::GC_BGD ? 0 : 1;
            if (sureCounts[cls].empty()) sureCounts[cls].assign(colours, 0);
            ++sureCounts[cls][index[x]];
            index[x] = static_cast<std::uint32_t>(colours + cls);
        }
    }
}

// The labels the flow gives the probable pixels of rows [y0, y1) of `mask`, each such pixel
// counted by runs of one colour and class: into count[cls * colours + colour] where there are
// counts, else straight into `sums`, in its class's likeliest component for its colour
// (`component`), which costs more per run but no memory per colour; not at all without `sums`
// (the last pass). Locals only: a store to the mask may alias anything else.
void takeLabels(const GridGraph& graph, const Places& startIndex,
                const std::vector<ColourKey>& keys, const std::vector<std::uint8_t> component[2],
                cv::Mat& mask, int y0, int y1, std::uint32_t* count, ModelSums sums[2]) {
    const std::uint8_t* flags = graph.flags.get();
    const Vertex* vertex = graph.vertex.get();
    const std::uint32_t colours = static_cast<std::uint32_t>(keys.size());
    const int cols = mask.cols;
    int runClass = 0;
    std::uint32_t runColour = colours, run = 0;
    const auto flush = [&] {
        if (!run || !sums) return;
        if (count) {
            count[runClass * colours + runColour] += run;
        } else {
            addColour(sums[runClass], component[runClass][runColour], keys[runColour], run);
        }
    };
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
            const int cls = sink ? 0 : 1;
            if (c != runColour || cls != runClass) {
                flush();
                runColour = c;
                runClass = cls;
                run = 0;
            }
            ++run;
        }
    }
    flush();
}

// The counts of the label pass's parts (by part, class and colour) added into the first part's
// sums, over ranges of colours on OpenCV's threads, and zeroed for the next pass. Exact integer
// sums: the same in any order.
void addCounts(std::vector<std::uint32_t>& partCounts, int parts,
               const std::vector<ColourKey>& keys, const std::vector<std::uint8_t> component[2],
               std::vector<ModelSums>& partSums) {
    constexpr int RANGES = 64;
    const std::size_t colours = keys.size();
    std::vector<ModelSums> rangeSums(2 * RANGES);
    cv::parallel_for_(cv::Range(0, RANGES), [&](const cv::Range& range) {
        for (int r = range.start; r < range.end; ++r) {
            for (std::size_t c = colours * r / RANGES; c < colours * (r + 1) / RANGES; ++c) {
                for (int cls = 0; cls < 2; ++cls) {
                    std::int64_t n = 0;
                    for (int part = 0; part < parts; ++part) {
                        std::uint32_t& count =
                            partCounts[(2 * static_cast<std::size_t>(part) + cls) * colours + c];
                        n += count;
                        count = 0;
                    }
                    if (n) addColour(rangeSums[2 * r + cls], component[cls][c], keys[c], n);
                }
            }
        }
    });
    for (int r = 0; r < RANGES; ++r)
        for (int cls = 0; cls < 2; ++cls) partSums[cls].add(rangeSums[2 * r + cls]);
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
    ColourCounts initial[2];
    // The graph beside the k-means, its capacities then its rows in parts, so that the thread
    // that ends its k-means first takes more of them.
    std::optional<GridGraph> graph;
    std::int64_t distances = 0;
    int graphParts = 0;
    if (iterations > 0) {
        graph.emplace(image.rows, image.cols);
        distances = neighbourDistanceSum(image);
        graphParts = 1 + std::min(image.rows, GRAPH_ROW_PARTS);
    }
    const auto buildGraph = [&](int part) {
        if (part == 0) {
            graph->setEdgeCapacities(edgeCapacities(distances, image.size()));
            return;
        }
        const int rowParts = graphParts - 1;
        graph->setRows(image, stripeStart(image.rows, rowParts, part - 1),
                       stripeStart(image.rows, rowParts, part));
    };
    initialModels(colours, mask, models, initial, buildGraph, graphParts, beginPart);
    if (iterations <= 0) {
        beginPart("");
        return;
    }

    const int rows = image.rows;
    beginPart("colour models");
    ColourVerdicts verdicts;
    verdicts.startFlags.reserve(colourCount + 2);  // the sure labels' two go after the colours'
    judgeColours(colours.keys, models, verdicts);
    // Each pixel joins its class's likeliest component under the previous models; sums of
    // integers, so adding each colour's pixels at once changes nothing.
    ModelSums sums[2];
    for (int cls = 0; cls < 2; ++cls) {
        for (std::size_t i = 0; i < initial[cls].colour.size(); ++i) {
            const std::uint32_t c = initial[cls].colour[i];
            addColour(sums[cls], verdicts.component[cls][c], colours.keys[c],
                      initial[cls].count[i]);
        }
        initial[cls] = ColourCounts();
    }
    beginPart("labels and counts");
    // Each pixel's start weight: its colour's while its label is probable, else lambda's.
    Places startIndex = std::move(colours.ofPixel);
    std::vector<std::uint32_t> sureCounts[2];
    if (sureLabels) setSurePixelsApart(mask, startIndex, colourCount, sureCounts);
    // The colours' weights, then lambda's for sure labels; the colours' computed from the models
    // of the round only where the flow needs them, as judgeColours does for every colour.
    const StartWeights start{verdicts.startFlags, startIndex, [&](std::uint32_t entry) {
                                 if (entry < colourCount)
                                     return terminalWeight(models, colours.keys[entry]);
                                 return entry == colourCount ? 0 - LAMBDA : LAMBDA - 0;
                             }};
    // The label pass in parts of rows, each adding up its own counts; or its own sums where
    // colours are so many that counts would cost more than they save (noise). On threads, more
    // parts than threads, which share them out as they come free, within the counts' budget.
    constexpr std::size_t COUNTS_BUDGET = std::size_t{8} << 20;
    const int threads = std::max(1, cv::getNumThreads());
    const std::size_t countsOfPart = 2 * colourCount * sizeof(std::uint32_t);
    const bool counting =
        4 * colourCount <= image.total() && countsOfPart * threads <= COUNTS_BUDGET;
    int parts = 1;
    if (threads > 1) {
        const std::size_t held = counting ? COUNTS_BUDGET / countsOfPart : LABEL_PARTS;
        parts = std::max<int>(threads, std::min<std::size_t>(LABEL_PARTS, held));
    }
    parts = std::min(parts, rows);
    std::vector<ModelSums> partSums(2 * static_cast<std::size_t>(parts));
    std::vector<std::uint32_t> partCounts;
    if (counting) partCounts.resize(2 * colourCount * parts);

    for (int iteration = 0; iteration < iterations; ++iteration) {
        beginPart("colour models");
        models[0].learn(sums[0]);
        models[1].learn(sums[1]);
        judgeColours(colours.keys, models, verdicts);
        verdicts.startFlags.push_back(startFlagsOf(0 - LAMBDA));
        verdicts.startFlags.push_back(startFlagsOf(LAMBDA - 0));

        beginPart("graph reset");
        startSearch(*graph, start);
        beginPart("max-flow");
        maxFlow(*graph, start);

        // The new labels, and the sums the next round learns from (none after the last).
        beginPart("labels and counts");
        const bool counted = iteration + 1 < iterations;
        std::fill(partSums.begin(), partSums.end(), ModelSums());
        cv::parallel_for_(
            cv::Range(0, parts),
            [&](const cv::Range& range) {
                for (int part = range.start; part < range.end; ++part) {
                    takeLabels(
                        *graph, startIndex, colours.keys, verdicts.component, mask,
                        static_cast<int>(static_cast<std::int64_t>(rows) * part / parts),
                        static_cast<int>(static_cast<std::int64_t>(rows) * (part + 1) / parts),
                        partCounts.empty() ? nullptr : &partCounts[2 * colourCount * part],
                        counted ? &partSums[2 * static_cast<std::size_t>(part)] : nullptr);
                }
            },
            parts);
        if (!counted) break;
        if (!partCounts.empty())
            addCounts(partCounts, parts, colours.keys, verdicts.component, partSums);
        for (int cls = 0; cls < 2; ++cls) {
            sums[cls] = ModelSums();
            for (int part = 0; part < parts; ++part) sums[cls].add(partSums[2 * part + cls]);
            for (std::size_t c = 0; c < sureCounts[cls].size(); ++c) {
                if (sureCounts[cls][c])
                    addColour(sums[cls], verdicts.component[cls][c], colours.keys[c],
                              sureCounts[cls][c]);
            }
        }
    }
    beginPart("");
}

}  // namespace plantscan::section
