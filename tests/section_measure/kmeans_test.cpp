// Our k-means of colours against cv::kmeans called as grabCut calls it: the same label for every
// sample, the same centres to the bit, and the generator left in the same state.
#include "section_measure/grab_cut/kmeans.h"
#include "section_measure/grab_cut/colour_index.h"
#include "section_measure/segmentation.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace plantscan::section;
using namespace plantscan::tools;

namespace {

// Samples as cv::kmeans takes them, and as ours does.
ColourSamples asColourSamples(const std::vector<cv::Vec3b>& colours) {
    ColourSamples samples;
    std::vector<ColourKey> seen;
    for (const cv::Vec3b& c : colours) {
        const ColourKey key = keyOf(c.val);
        const auto found = std::find(seen.begin(), seen.end(), key);
        samples.colour.push_back(static_cast<std::uint32_t>(found - seen.begin()));
        if (found == seen.end()) seen.push_back(key);
    }
    samples.palette = seen;
    return samples;
}

// Empty when both agree, else what differs. Both start from the same generator state; `k`
// clusters, else grabCut's min(5, samples). `ours` receives our result.
std::string compareWithOpenCV(const ColourSamples& samples, std::uint64_t state, int k = 0,
                              ColourClusters* result = nullptr) {
    const int n = static_cast<int>(samples.colour.size());
    cv::Mat data(n, 3, CV_32F);
    for (int i = 0; i < n; ++i) {
        const ColourKey key = samples.palette[samples.colour[i]];
        for (int j = 0; j < 3; ++j) data.at<float>(i, j) = static_cast<float>(channelOf(key, j));
    }
    if (k == 0) k = std::min(5, n);
    cv::Mat labels, centres;
    cv::RNG& rng = cv::theRNG();
    rng.state = state;
    cv::kmeans(data, k, labels, cv::TermCriteria(cv::TermCriteria::COUNT, 10, 0.0), 0,
               cv::KMEANS_PP_CENTERS, centres);
    const std::uint64_t expectedState = rng.state;
    rng.state = state;
    const ColourClusters ours = clusterColours(samples, k, rng);
    if (result) *result = ours;
    if (rng.state != expectedState) return "generator state differs";
    // cv::kmeans reads a lone sample's row as three one-dimensional samples: another centre.
    for (int c = 0; c < k && n > 1; ++c) {
        if (std::memcmp(centres.ptr<float>(c), ours.centres[c].val, 3 * sizeof(float)) != 0)
            return "centre " + std::to_string(c) + " differs";
    }
    int differing = 0;
    for (int i = 0; i < n; ++i)
        differing += labels.at<int>(i) != labelOfSample(ours, samples, static_cast<std::size_t>(i));
    return differing ? std::to_string(differing) + " labels differ" : "";
}

// Colours of the kinds that take different paths: fewer colours than clusters (an empty
// cluster is filled), many colours, and bright clusters whose float sums pass 2^24 and round.
std::vector<cv::Vec3b> randomColours(cv::RNG& rng, int kind) {
    std::vector<cv::Vec3b> colours(rng.uniform(1, 400));
    const auto random = [&] {
        return cv::Vec3b(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256));
    };
    switch (kind) {
        case 0: {
            std::vector<cv::Vec3b> palette(rng.uniform(1, 7));
            for (cv::Vec3b& c : palette) c = random();
            for (cv::Vec3b& c : colours)
                c = palette[rng.uniform(0, static_cast<int>(palette.size()))];
            break;
        }
        case 1:
            for (cv::Vec3b& c : colours) c = random();
            break;
        default: {
            // Most samples near one bright colour: a cluster of more than 2^24 / 255 of them.
            colours.resize(rng.uniform(70000, 110000));
            const cv::Vec3b base(rng.uniform(220, 250), rng.uniform(220, 250),
                                 rng.uniform(220, 250));
            for (cv::Vec3b& c : colours) {
                for (int j = 0; j < 3; ++j) c[j] = static_cast<uchar>(base[j] + rng.uniform(-3, 4));
                if (rng.uniform(0, 10) == 0) c = random();
            }
            break;
        }
    }
    return colours;
}

}  // namespace

TEST(ColourKMeans, SameAsOpenCVOnRandomColours) {
    cv::RNG rng(1357);
    for (int trial = 0; trial < 400; ++trial) {
        const int kind = trial % 50 == 49 ? 2 : trial % 2;
        const ColourSamples samples = asColourSamples(randomColours(rng, kind));
        ASSERT_EQ(compareWithOpenCV(samples, 0x9e3779b97f4a7c15ULL + trial), "")
            << "trial " << trial << ", kind " << kind << ", " << samples.colour.size()
            << " samples of " << samples.palette.size() << " colours";
    }
}

// Past 2^24 a float sum drops what is small beside it: 65793 samples of 255 reach 2^24 - 1, and
// ones added after them are lost, not those added before. cv::kmeans sums in sample order.
TEST(ColourKMeans, SameAsOpenCVWhereItsFloatSumsRoundInSampleOrder) {
    std::vector<cv::Vec3b> brightFirst(65793, cv::Vec3b(255, 255, 255));
    brightFirst.resize(65793 + 5000, cv::Vec3b(1, 2, 1));
    std::vector<cv::Vec3b> brightLast(brightFirst.rbegin(), brightFirst.rend());
    ColourClusters first, last;
    EXPECT_EQ(compareWithOpenCV(asColourSamples(brightFirst), 1, 1, &first), "");
    EXPECT_EQ(compareWithOpenCV(asColourSamples(brightLast), 1, 1, &last), "");
    EXPECT_NE(first.centres[0], last.centres[0]);
}

// Each class of two scans, as grabCut samples them from the program's seed.
TEST(ColourKMeans, SameAsOpenCVOnTheClassesOfScans) {
    for (const bool rich : {false, true}) {
        SectionScanParams params;
        params.width = params.height = 500;
        params.center = {250, 250};
        params.radius = 175;
        params.seed = 5;
        if (rich) {
            params.sensorNoise = 3;
            params.colourCast = 6;
        }
        const cv::Mat image = makeSectionScan(params);
        cv::Mat gray, dark;
        cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
        cv::threshold(gray, dark, 50, 255, cv::THRESH_BINARY_INV);
        const ClassSamples classes = samplesOfClasses(indexColours(image), seedGrabCutMask(dark));
        for (int cls = 0; cls < 2; ++cls) {
            EXPECT_EQ(compareWithOpenCV(classes.samples[cls], 0xabcdef12345ULL), "")
                << (rich ? "colour-rich" : "plain") << " scan, class " << cls;
        }
    }
}
