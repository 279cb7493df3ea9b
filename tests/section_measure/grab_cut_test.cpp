// grabCutFromMask against cv::grabCut itself: the same labels, the same exceptions and the same
// cv::theRNG() state afterwards, from the same state before, on any thread count.
//
// GRAB_CUT_INPUTS and GRAB_CUT_MAX_PIXELS enlarge the random part (tools/grab_cut_long_run.sh).
#include "section_measure/grab_cut.h"
#include "section_measure/segmentation.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace plantscan::section;
using namespace plantscan::tools;

namespace {

const uint64 kRngState = 0x1234567890abcdefULL;

struct Outcome {
    bool threw = false;
    cv::Mat mask;
    uint64 rngAfter = 0;
};

template <class Cut>
Outcome cutWith(const cv::Mat& image, const cv::Mat& mask, Cut cut) {
    Outcome outcome;
    outcome.mask = mask.clone();
    cv::theRNG().state = kRngState;
    try {
        cut(image, outcome.mask);
    } catch (const cv::Exception&) {
        outcome.threw = true;
    }
    outcome.rngAfter = cv::theRNG().state;
    return outcome;
}

Outcome reference(const cv::Mat& image, const cv::Mat& mask) {
    return cutWith(image, mask, [](const cv::Mat& img, cv::Mat& m) {
        cv::Mat bgdModel, fgdModel;
        cv::grabCut(img, m, cv::Rect(), bgdModel, fgdModel, 8, cv::GC_INIT_WITH_MASK);
    });
}

Outcome own(const cv::Mat& image, const cv::Mat& mask) {
    return cutWith(image, mask, [](const cv::Mat& img, cv::Mat& m) {
        plantscan::section::grabCutFromMask(img, m, 8);
    });
}

// Empty string when both agree, else what differs.
std::string difference(const Outcome& expected, const Outcome& actual) {
    if (expected.threw != actual.threw)
        return expected.threw ? "only OpenCV threw" : "only ours threw";
    if (expected.rngAfter != actual.rngAfter) return "RNG state differs";
    if (expected.threw) return "";
    const int differing = cv::countNonZero(expected.mask != actual.mask);
    return differing ? std::to_string(differing) + " labels differ" : "";
}

int environmentNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : fallback;
}

// Images of the kinds that stress different parts: a few flat colours (singular components,
// many equal weights), smooth gradients, uniform noise, scan-like discs, one colour.
cv::Mat randomImage(cv::RNG& rng, cv::Size size, int kind) {
    cv::Mat image(size, CV_8UC3);
    switch (kind) {
        case 0: {
            // All but two colours rare: a rare colour in a frequent colour's component can be so
            // unlikely in both models that its weight is -log(0) - -log(0).
            const int colours = rng.uniform(1, 7);
            std::vector<cv::Vec3b> palette;
            for (int i = 0; i < colours; ++i)
                palette.emplace_back(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256));
            for (auto it = image.begin<cv::Vec3b>(); it != image.end<cv::Vec3b>(); ++it) {
                const int pick = rng.uniform(0, colours);
                *it = palette[rng.uniform(0, 50) ? pick % 2 : pick];
            }
            break;
        }
        case 1: {
            const double gx = rng.uniform(-3.0, 3.0), gy = rng.uniform(-3.0, 3.0);
            for (int y = 0; y < size.height; ++y) {
                for (int x = 0; x < size.width; ++x) {
                    const double v = 128 + gx * x + gy * y;
                    image.at<cv::Vec3b>(y, x) =
                        cv::Vec3b(cv::saturate_cast<uchar>(v), cv::saturate_cast<uchar>(v * 0.7),
                                  cv::saturate_cast<uchar>(255 - v));
                }
            }
            break;
        }
        case 2: rng.fill(image, cv::RNG::UNIFORM, 0, 256); break;
        case 3: {
            image.setTo(cv::Scalar(190, 200, 205));
            cv::circle(image, {rng.uniform(0, size.width), rng.uniform(0, size.height)},
                       rng.uniform(1, std::max(2, std::min(size.width, size.height))),
                       cv::Scalar(25, 30, 35), cv::FILLED);
            cv::Mat noise(size, CV_8UC3);
            rng.fill(noise, cv::RNG::UNIFORM, 0, rng.uniform(1, 20));
            image += noise;
            break;
        }
        default:
            image.setTo(cv::Scalar(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256)));
            break;
    }
    return image;
}

cv::Mat randomMask(cv::RNG& rng, const cv::Mat& image, int kind) {
    cv::Mat mask(image.size(), CV_8UC1);
    switch (kind) {
        case 0: rng.fill(mask, cv::RNG::UNIFORM, 0, 4); break;  // all four labels
        case 1: {  // the program's seed: probable labels from a gray threshold
            cv::Mat gray;
            cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
            mask = seedGrabCutMask(gray <= rng.uniform(30, 200));
            break;
        }
        case 2: {  // one class of one or two pixels
            mask.setTo(rng.uniform(0, 2) ? cv::GC_PR_BGD : cv::GC_BGD);
            for (int i = rng.uniform(1, 3); i > 0; --i)
                mask.at<uchar>(rng.uniform(0, mask.rows), rng.uniform(0, mask.cols)) =
                    rng.uniform(0, 2) ? cv::GC_PR_FGD : cv::GC_FGD;
            break;
        }
        case 3: rng.fill(mask, cv::RNG::UNIFORM, 2, 4); break;
        default: mask.setTo(rng.uniform(0, 4)); break;  // one class only: refused
    }
    return mask;
}

cv::Size randomSize(cv::RNG& rng, int maxPixels) {
    const int width = rng.uniform(1, 301);
    const int height = rng.uniform(1, std::max(2, std::min(300, maxPixels / width) + 1));
    return rng.uniform(0, 2) ? cv::Size(width, height) : cv::Size(height, width);
}

}  // namespace

TEST(GrabCutFromMask, SameLabelsExceptionsAndRngAsOpenCVOnVariedInputs) {
    const int inputs = environmentNumber("GRAB_CUT_INPUTS", 200);
    const int maxPixels = environmentNumber("GRAB_CUT_MAX_PIXELS", 2500);
    cv::RNG rng(20261208);
    int compared = 0, refused = 0;
    for (int i = 0; i < inputs; ++i) {
        const cv::Size size = i == 0   ? cv::Size(1, 1)
                              : i == 1 ? cv::Size(3, 2)
                                       : randomSize(rng, maxPixels);
        const int imageKind = rng.uniform(0, 5), maskKind = rng.uniform(0, 5);
        const cv::Mat image = randomImage(rng, size, imageKind);
        const cv::Mat mask = randomMask(rng, image, maskKind);
        const Outcome expected = reference(image, mask);
        const std::string differs = difference(expected, own(image, mask));
        ASSERT_EQ(differs, "") << "input " << i << ": " << size << ", image kind " << imageKind
                               << ", mask kind " << maskKind;
        ++compared;
        refused += expected.threw;
    }
    std::cout << compared << " inputs identical, " << refused << " refused by both\n";
}

// Two classes of four frequent colours each, a few strays, rare near twins of frequent colours.
// A twin that kmeans puts in its frequent colour's component is so unlikely there, and in every
// other component, that both models give it 0 and its weight is -log(0) - -log(0), NaN: these
// seeds were found to give such weights, which the max-flow must then treat as OpenCV does.
TEST(GrabCutFromMask, SameWhereAColourIsImpossibleInBothModels) {
    for (const uint64 seed : {21, 124, 177}) {
        cv::RNG rng(seed);
        const int side = rng.uniform(50, 120);
        cv::Mat image(side, side, CV_8UC3), mask(side, side, CV_8UC1);
        std::vector<cv::Vec3b> palette;
        for (int i = 0; i < 8; ++i)
            palette.emplace_back(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256));
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int cls = x < side / 2;
                int pick = rng.uniform(0, 4) + 4 * cls;
                if (rng.uniform(0, 300) == 0) pick = rng.uniform(0, 8);
                cv::Vec3b colour = palette[pick];
                if (rng.uniform(0, 500) == 0) colour[0] ^= 8;
                image.at<cv::Vec3b>(y, x) = colour;
                mask.at<uchar>(y, x) = static_cast<uchar>(cv::GC_PR_BGD + cls);
            }
        }
        EXPECT_EQ(difference(reference(image, mask), own(image, mask)), "") << "seed " << seed;
    }
}

TEST(GrabCutFromMask, RefusesTheImagesAndMasksOpenCVRefuses) {
    const cv::Mat image(4, 5, CV_8UC3, cv::Scalar(10, 20, 30));
    cv::Mat mask(4, 5, CV_8UC1, cv::Scalar(cv::GC_PR_BGD));
    mask.at<uchar>(1, 1) = cv::GC_FGD;
    cv::Mat badValue = mask.clone();
    badValue.at<uchar>(2, 3) = 4;
    const std::vector<std::pair<cv::Mat, cv::Mat>> refused{
        {cv::Mat(), mask},
        {cv::Mat(4, 5, CV_8UC1, cv::Scalar(10)), mask},
        {cv::Mat(4, 5, CV_16UC3, cv::Scalar(10, 20, 30)), mask},
        {image, cv::Mat()},
        {image, badValue},
        {image, cv::Mat(4, 5, CV_8UC3, cv::Scalar::all(cv::GC_PR_BGD))},
        {image, cv::Mat(5, 4, CV_8UC1, cv::Scalar(cv::GC_PR_BGD))},
    };
    EXPECT_FALSE(reference(image, mask).threw);
    for (std::size_t i = 0; i < refused.size(); ++i) {
        const Outcome expected = reference(refused[i].first, refused[i].second);
        EXPECT_TRUE(expected.threw) << "case " << i;
        EXPECT_EQ(difference(expected, own(refused[i].first, refused[i].second)), "")
            << "case " << i;
    }
}

namespace {

// Sets OpenCV's thread count for a scope; -1 is OpenCV's default.
class ThreadCount {
public:
    explicit ThreadCount(int threads) : saved_(cv::getNumThreads()) { cv::setNumThreads(threads); }
    ~ThreadCount() { cv::setNumThreads(saved_); }

private:
    int saved_;
};

// The mask section_measure starts grabCut from.
cv::Mat programSeed(const cv::Mat& image) {
    cv::Mat gray, thresholded;
    cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
    cv::threshold(gray, thresholded, 50.0, 255.0, cv::THRESH_BINARY_INV);
    return seedGrabCutMask(thresholded);
}

void expectSameOnAnyThreadCount(const cv::Mat& image, const std::string& name) {
    const cv::Mat mask = programSeed(image);
    const Outcome expected = reference(image, mask);
    ASSERT_FALSE(expected.threw) << name;
    for (int threads : {1, 2, 7}) {
        ThreadCount count(threads);
        EXPECT_EQ(difference(expected, own(image, mask)), "")
            << name << ", " << threads << " threads";
    }
}

cv::Mat scan(int side, bool colourRich) {
    SectionScanParams params;
    params.width = params.height = side;
    params.center = {side / 2.0, side / 2.0};
    params.radius = 0.35 * side;
    params.seed = 7;
    if (colourRich) {
        params.sensorNoise = 3;
        params.colourCast = 6;
    }
    return makeSectionScan(params);
}

}  // namespace

TEST(GrabCutFromMask, SameOnSmallScansWithOneTwoOrSevenThreads) {
    expectSameOnAnyThreadCount(scan(160, false), "plain scan");
    expectSameOnAnyThreadCount(scan(160, true), "colour-rich scan");
}

TEST(GrabCutFromMaskSlow, SameOnTheSampleAndWholeScansWithOneTwoOrSevenThreads) {
    const cv::Mat sample = cv::imread(std::string(SAMPLES_DIR) + "/section.jpg", cv::IMREAD_COLOR);
    ASSERT_FALSE(sample.empty());
    expectSameOnAnyThreadCount(sample, "samples/section.jpg");
    expectSameOnAnyThreadCount(scan(1000, false), "plain 1000 x 1000 scan");
    expectSameOnAnyThreadCount(scan(1000, true), "colour-rich 1000 x 1000 scan");
}
