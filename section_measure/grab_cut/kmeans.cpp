#include "section_measure/grab_cut/kmeans.h"

#include "section_measure/grab_cut/input_checks.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <numeric>

namespace plantscan::section {

namespace {

constexpr int MAX_ITERATIONS = 10;  // grabCut's TermCriteria(COUNT, 10, 0)
constexpr int PP_TRIALS = 3;        // cv::kmeans's candidates for each next k-means++ centre
// Integers up to 2^24 are floats: a float sum of colour values that never passes it is exact.
constexpr std::int64_t EXACT_FLOAT_SUM = std::int64_t{1} << 24;
constexpr std::uint8_t NOT_REPLAYED = 0xff;

cv::Vec3f valueOf(ColourKey key) {
    return cv::Vec3f(static_cast<float>(channelOf(key, 0)), static_cast<float>(channelOf(key, 1)),
                     static_cast<float>(channelOf(key, 2)));
}

// cv::hal::normL2Sqr_ on three floats: its vector loop needs 16 values and adds nothing here.
float squaredDistance(const cv::Vec3f& a, const cv::Vec3f& b) {
    float d = 0.f;
    for (int j = 0; j < 3; ++j) {
        const float t = a[j] - b[j];
        d += t * t;
    }
    return d;
}

// The same between two colours, an exact integer (at most 3 * 255^2).
std::uint32_t squaredDistance(ColourKey a, ColourKey b) {
    std::uint32_t d = 0;
    for (int j = 0; j < 3; ++j) {
        const int t = channelOf(a, j) - channelOf(b, j);
        d += static_cast<std::uint32_t>(t * t);
    }
    return d;
}

// cv::kmeans picks each k-means++ candidate by walking the samples, subtracting each one's
// distance from target = u * (sum of distances), and takes the first sample that brings it to
// zero or below (the last sample when none does). The distances are integers and the target
// is below 2^53, so each subtraction before that is exact and no rounding can change the sign
// of the last one: the sample is the first whose exact prefix sum reaches the target. One walk
// serves all the trials.
void pickSamples(const ColourSamples& samples, const std::vector<std::uint32_t>& distance,
                 const double (&target)[PP_TRIALS], std::size_t (&picked)[PP_TRIALS]) {
    int order[PP_TRIALS];
    std::iota(order, order + PP_TRIALS, 0);
    std::stable_sort(order, order + PP_TRIALS, [&](int a, int b) { return target[a] < target[b]; });
    const std::size_t n = samples.colour.size();
    for (std::size_t& p : picked) p = n - 1;
    int next = 0;
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i + 1 < n && next < PP_TRIALS; ++i) {
        prefix += distance[samples.colour[i]];
        while (next < PP_TRIALS && static_cast<double>(prefix) >= target[order[next]])
            picked[order[next++]] = i;
    }
}

// Sum over the samples of each colour's distance: exact, below 2^53.
std::uint64_t totalOf(const std::vector<std::uint32_t>& count,
                      const std::vector<std::uint32_t>& distance) {
    std::uint64_t total = 0;
    for (std::size_t c = 0; c < count.size(); ++c) total += std::uint64_t{count[c]} * distance[c];
    return total;
}

// Each colour's nearest centre, the first of equals, in cv::kmeans's float distances.
void assignColours(const std::vector<ColourKey>& palette, const std::vector<cv::Vec3f>& centres,
                   std::vector<std::uint8_t>& labelOfColour) {
    const int colours = static_cast<int>(palette.size());
    const int clusters = static_cast<int>(centres.size());
    labelOfColour.resize(palette.size());
    cv::parallel_for_(
        cv::Range(0, colours),
        [&](const cv::Range& range) {
            for (int c = range.start; c < range.end; ++c) {
                const cv::Vec3f value = valueOf(palette[c]);
                int best = 0;
                double least = DBL_MAX;
                for (int k = 0; k < clusters; ++k) {
                    const double d = squaredDistance(value, centres[k]);
                    if (least > d) {
                        least = d;
                        best = k;
                    }
                }
                labelOfColour[c] = static_cast<std::uint8_t>(best);
            }
        },
        colours / 4096.0 + 1);
}

// The replay below for up to this many clusters: grabCut's five.
constexpr int REPLAY_LANES = 5;

using FloatLanes = float __attribute__((vector_size(16)));
using IntLanes = std::int32_t __attribute__((vector_size(16)));

// Each replayed cluster's float sums in sample order, every cluster's sum kept in a register:
// each sample adds its colour to its own cluster's sum and +0 to the others', which leaves
// them as they were, bit for bit (the sums are never -0). A sum kept in memory and picked by
// the sample's cluster would make each addition wait for the store of the one before.
std::array<cv::Vec3f, REPLAY_LANES> replayInRegisters(
    const ColourSamples& samples, const std::vector<ColourKey>& palette,
    const std::vector<std::uint8_t>& replayedCluster) {
    FloatLanes total[REPLAY_LANES] = {};
    const auto replay = [&](auto lanesOf) {
        for (const std::uint32_t c : samples.colour) {
            const std::int32_t k = replayedCluster[c];
            const IntLanes colour = reinterpret_cast<IntLanes>(lanesOf(c));
            for (int lane = 0; lane < REPLAY_LANES; ++lane) {
                const IntLanes mine = IntLanes{k, k, k, k} == lane;  // all ones, or all zeros
                total[lane] += reinterpret_cast<FloatLanes>(colour & mine);
            }
        }
    };
    // Each colour's floats from a table where colours are few; from its key where they are as
    // many as the samples (noise), which would make the table as large as they are.
    if (palette.size() <= samples.colour.size() / 16) {
        std::vector<FloatLanes> value(palette.size());
        for (std::size_t c = 0; c < palette.size(); ++c) {
            const cv::Vec3f v = valueOf(palette[c]);
            value[c] = FloatLanes{v[0], v[1], v[2], 0.f};
        }
        replay([&](std::uint32_t c) { return value[c]; });
    } else {
        const IntLanes shifts{0, 8, 16, 24};  // the fourth lane takes the key's top byte: zero
        replay([&](std::uint32_t c) {
            const std::int32_t key = static_cast<std::int32_t>(palette[c]);
            return __builtin_convertvector((IntLanes{key, key, key, key} >> shifts) & 255,
                                           FloatLanes);
        });
    }
    std::array<cv::Vec3f, REPLAY_LANES> sums;
    for (int k = 0; k < REPLAY_LANES; ++k)
        sums[k] = cv::Vec3f(total[k][0], total[k][1], total[k][2]);
    return sums;
}

struct CentreSums {
    std::vector<int> count;
    std::vector<cv::Vec3f> sum;
};

// cv::kmeans's float sums of each cluster's samples, in sample order.
CentreSums sumClusters(const ColourSamples& samples, const std::vector<std::uint32_t>& count,
                       const std::vector<ColourKey>& palette,
                       const std::vector<std::uint8_t>& labelOfColour, int clusters) {
    CentreSums sums{std::vector<int>(clusters, 0), std::vector<cv::Vec3f>(clusters)};
    std::vector<std::int64_t> total(static_cast<std::size_t>(clusters) * 3, 0);
    for (std::size_t c = 0; c < count.size(); ++c) {
        const int k = labelOfColour[c];
        sums.count[k] += static_cast<int>(count[c]);
        for (int j = 0; j < 3; ++j)
            total[3 * k + j] += std::int64_t{count[c]} * channelOf(samples.palette[c], j);
    }
    std::vector<bool> replayed(clusters, false);
    bool anyReplayed = false;
    for (int k = 0; k < clusters; ++k) {
        for (int j = 0; j < 3; ++j) {
            if (total[3 * k + j] > EXACT_FLOAT_SUM) replayed[k] = true;
            sums.sum[k][j] = static_cast<float>(total[3 * k + j]);
        }
        if (replayed[k]) sums.sum[k] = cv::Vec3f(0, 0, 0);
        anyReplayed = anyReplayed || replayed[k];
    }
    if (!anyReplayed) return sums;
    std::vector<std::uint8_t> replayedCluster(count.size());
    for (std::size_t c = 0; c < count.size(); ++c)
        replayedCluster[c] = replayed[labelOfColour[c]] ? labelOfColour[c] : NOT_REPLAYED;
    if (clusters <= REPLAY_LANES) {
        const std::array<cv::Vec3f, REPLAY_LANES> replayedSums =
            replayInRegisters(samples, palette, replayedCluster);
        for (int k = 0; k < clusters; ++k)
            if (replayed[k]) sums.sum[k] = replayedSums[k];
        return sums;
    }
    for (const std::uint32_t c : samples.colour) {
        const int k = replayedCluster[c];
        if (k == NOT_REPLAYED) continue;
        const cv::Vec3f v = valueOf(palette[c]);
        cv::Vec3f& sum = sums.sum[k];
        sum[0] += v[0];
        sum[1] += v[1];
        sum[2] += v[2];
    }
    return sums;
}

// cv::kmeans's rescue of an empty cluster: the sample of the largest cluster farthest from its
// centre (the last of equals) moves into it. Rare (fewer colours than clusters), so it walks
// the samples as cv::kmeans does.
void fillEmptyClusters(const ColourSamples& samples, const std::vector<ColourKey>& palette,
                       CentreSums& sums, ColourClusters& result) {
    const int clusters = static_cast<int>(sums.count.size());
    for (int k = 0; k < clusters; ++k) {
        if (sums.count[k] != 0) continue;
        int largest = 0;
        for (int k1 = 1; k1 < clusters; ++k1)
            if (sums.count[largest] < sums.count[k1]) largest = k1;
        const float scale = 1.f / static_cast<float>(sums.count[largest]);
        const cv::Vec3f centre = sums.sum[largest] * scale;
        double farthestDistance = 0;
        std::size_t farthest = samples.colour.size();
        for (std::size_t i = 0; i < samples.colour.size(); ++i) {
            if (labelOfSample(result, samples, i) != largest) continue;
            const double d = squaredDistance(valueOf(palette[samples.colour[i]]), centre);
            if (farthestDistance <= d) {
                farthestDistance = d;
                farthest = i;
            }
        }
        requireThat(farthest < samples.colour.size(), "k-means: no sample to move");
        --sums.count[largest];
        ++sums.count[k];
        const auto moved = std::find_if(result.movedSamples.begin(), result.movedSamples.end(),
                                        [&](const auto& entry) { return entry.first == farthest; });
        if (moved != result.movedSamples.end()) {
            moved->second = k;
        } else {
            result.movedSamples.emplace_back(farthest, k);
        }
        const cv::Vec3f v = valueOf(palette[samples.colour[farthest]]);
        for (int j = 0; j < 3; ++j) {
            sums.sum[largest][j] -= v[j];
            sums.sum[k][j] += v[j];
        }
    }
}

}  // namespace

KMeansDraws drawForKMeans(int clusters, cv::RNG& rng) {
    KMeansDraws draws;
    draws.clusters = clusters;
    draws.first = static_cast<unsigned>(rng);
    for (int i = 0; i < (clusters - 1) * PP_TRIALS; ++i)
        draws.trials.push_back(static_cast<double>(rng));
    return draws;
}

ClusterSeeds seedClusters(const ColourSamples& samples, const KMeansDraws& draws) {
    const int clusters = draws.clusters;
    const std::size_t n = samples.colour.size();
    requireThat(clusters >= 1 && static_cast<std::size_t>(clusters) <= n &&
                    n <= static_cast<std::size_t>(INT_MAX),
                "k-means: between one cluster and one per sample");
    ClusterSeeds seeds;
    seeds.clusters = clusters;
    seeds.samplesOfColour.assign(samples.palette.size(), 0);
    for (const std::uint32_t c : samples.colour) ++seeds.samplesOfColour[c];
    const std::vector<std::uint32_t>& count = seeds.samplesOfColour;

    std::vector<ColourKey> centre(clusters);
    requireThat(draws.trials.size() == static_cast<std::size_t>(clusters - 1) * PP_TRIALS,
                "k-means: the draws of another count of clusters");
    centre[0] = samples.palette[samples.colour[draws.first % n]];
    std::vector<std::uint32_t> distance(samples.palette.size());
    for (std::size_t c = 0; c < distance.size(); ++c)
        distance[c] = squaredDistance(samples.palette[c], centre[0]);
    std::uint64_t sum = totalOf(count, distance);
    std::vector<std::uint32_t> trial(distance.size());
    for (int k = 1; k < clusters; ++k) {
        double target[PP_TRIALS];
        for (int t = 0; t < PP_TRIALS; ++t)
            target[t] = draws.trials[(k - 1) * PP_TRIALS + t] * static_cast<double>(sum);
        std::size_t picked[PP_TRIALS];
        pickSamples(samples, distance, target, picked);
        double bestSum = DBL_MAX;
        ColourKey best = 0;
        for (const std::size_t i : picked) {
            const ColourKey candidate = samples.palette[samples.colour[i]];
            for (std::size_t c = 0; c < trial.size(); ++c)
                trial[c] = std::min(squaredDistance(samples.palette[c], candidate), distance[c]);
            const std::uint64_t trialSum = totalOf(count, trial);
            if (static_cast<double>(trialSum) < bestSum) {
                bestSum = static_cast<double>(trialSum);
                best = candidate;
                sum = trialSum;
            }
        }
        centre[k] = best;
        for (std::size_t c = 0; c < distance.size(); ++c)
            distance[c] = std::min(squaredDistance(samples.palette[c], best), distance[c]);
    }
    for (const ColourKey key : centre) seeds.centres.push_back(valueOf(key));
    return seeds;
}

ColourClusters refineClusters(const ColourSamples& samples, const ClusterSeeds& seeds) {
    const int clusters = seeds.clusters;
    // cv::kmeans stops at two rounds for one cluster, and when no centre moved by more than
    // FLT_EPSILON (squared, in double).
    const int maxCount = clusters == 1 ? 2 : MAX_ITERATIONS;
    const double epsilon = static_cast<double>(FLT_EPSILON) * static_cast<double>(FLT_EPSILON);

    ColourClusters result;
    result.centres = seeds.centres;
    assignColours(samples.palette, result.centres, result.labelOfColour);
    for (int iteration = 1;;) {
        const std::vector<cv::Vec3f> previous = result.centres;
        CentreSums sums = sumClusters(samples, seeds.samplesOfColour, samples.palette,
                                      result.labelOfColour, clusters);
        fillEmptyClusters(samples, samples.palette, sums, result);
        double shift = 0;
        for (int k = 0; k < clusters; ++k) {
            requireThat(sums.count[k] != 0, "k-means: an empty cluster");
            const float scale = 1.f / static_cast<float>(sums.count[k]);
            double moved = 0;
            for (int j = 0; j < 3; ++j) {
                result.centres[k][j] = sums.sum[k][j] * scale;
                const double t = result.centres[k][j] - previous[k][j];
                moved += t * t;
            }
            shift = std::max(shift, moved);
        }
        if (++iteration == maxCount || shift <= epsilon) break;
        const bool noneMoved = result.movedSamples.empty();
        result.movedSamples.clear();
        const std::vector<std::uint8_t> summed = result.labelOfColour;
        assignColours(samples.palette, result.centres, result.labelOfColour);
        // The same labels give the same sums, so the same centres, and cv::kmeans stops there
        // (no centre moved): stop without summing them again.
        if (noneMoved && result.labelOfColour == summed) break;
    }
    return result;
}

ColourClusters clusterColours(const ColourSamples& samples, int clusters, cv::RNG& rng) {
    return refineClusters(samples, seedClusters(samples, drawForKMeans(clusters, rng)));
}

int labelOfSample(const ColourClusters& clusters, const ColourSamples& samples, std::size_t i) {
    for (const auto& [sample, label] : clusters.movedSamples)
        if (sample == i) return label;
    return clusters.labelOfColour[samples.colour[i]];
}

}  // namespace plantscan::section
