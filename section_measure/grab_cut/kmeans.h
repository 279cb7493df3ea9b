// cv::kmeans as grabCut calls it, on colour samples: the same labels, centres and generator
// draws, computed per distinct colour wherever the arithmetic allows it.
//
// What depends on a sample's colour alone is computed once per colour: the distances of the
// k-means++ start (exact integers, so their sums and the walk that picks each next centre are
// exact too) and the assignment to the nearest centre. What does not: cv::kmeans sums each
// centre's samples in float, in sample order, and a sum past 2^24 rounds, so such a centre's
// sum is replayed in sample order; below 2^24 it is an exact integer, taken from the counts.
#pragma once

#include "section_measure/grab_cut/colour_index.h"

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace plantscan::section {

// The k-means++ start, which alone draws from the generator, and the samples of each colour.
struct ClusterSeeds {
    int clusters = 0;
    std::vector<cv::Vec3f> centres;
    std::vector<std::uint32_t> samplesOfColour;  // per palette entry
};

// cv::kmeans's result: the labels as one per colour and the few samples moved off their
// colour's label (into a cluster left empty), and the centres.
struct ColourClusters {
    std::vector<std::uint8_t> labelOfColour;                // per palette entry
    std::vector<std::pair<std::size_t, int>> movedSamples;  // (sample, label), in moving order
    std::vector<cv::Vec3f> centres;
};

// What the k-means++ start of cv::kmeans draws from the generator, drawn in its order: the draws
// do not depend on the samples, so two classes' starts may run at once once both are drawn.
struct KMeansDraws {
    int clusters = 0;
    unsigned first = 0;          // picks the first centre
    std::vector<double> trials;  // three per centre after the first
};
KMeansDraws drawForKMeans(int clusters, cv::RNG& rng);

// The start of cv::kmeans(samples, clusters, labels, TermCriteria(COUNT, 10, 0), 1,
// KMEANS_PP_CENTERS), samples as rows of three floats, from its draws.
// 1 <= clusters <= sample count. (cv::kmeans takes a lone sample's row for three samples of one
// value each: the same draws and label, but not the same centre.)
ClusterSeeds seedClusters(const ColourSamples& samples, const KMeansDraws& draws);

// The rest of that call, from its start; draws nothing, so two classes' may run at once.
ColourClusters refineClusters(const ColourSamples& samples, const ClusterSeeds& seeds);

// Both, in one call.
ColourClusters clusterColours(const ColourSamples& samples, int clusters, cv::RNG& rng);

// The label cv::kmeans gives sample i.
int labelOfSample(const ColourClusters& clusters, const ColourSamples& samples, std::size_t i);

}  // namespace plantscan::section
