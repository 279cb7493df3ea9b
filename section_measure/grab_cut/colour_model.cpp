#include "section_measure/grab_cut/colour_model.h"

#include "section_measure/grab_cut/grid_graph.h"
#include "section_measure/grab_cut/input_checks.h"

#include <opencv2/core.hpp>

#include <cmath>
#include <limits>

namespace plantscan::section {

void ComponentSums::add(const ComponentSums& other) {
    count += other.count;
    for (int i = 0; i < 3; ++i) sum[i] += other.sum[i];
    for (int i = 0; i < 6; ++i) prod[i] += other.prod[i];
}

void ModelSums::add(const ModelSums& other) {
    for (int ci = 0; ci < COMPONENTS; ++ci) component[ci].add(other.component[ci]);
}

void ColourModel::learn(const ModelSums& sums) {
    std::int64_t total = 0;
    for (int ci = 0; ci < COMPONENTS; ++ci) total += sums.component[ci].count;
    for (int ci = 0; ci < COMPONENTS; ++ci) {
        const ComponentSums& s = sums.component[ci];
        if (s.count == 0) {
            coefs_[ci] = 0;
            continue;
        }
        const double n = static_cast<double>(s.count);
        const double invN = 1.0 / n;
        coefs_[ci] = n / static_cast<double>(total);
        double* m = mean_[ci];
        m[0] = static_cast<double>(s.sum[0]) * invN;
        m[1] = static_cast<double>(s.sum[1]) * invN;
        m[2] = static_cast<double>(s.sum[2]) * invN;
        const double p00 = static_cast<double>(s.prod[0]), p01 = static_cast<double>(s.prod[1]),
                     p02 = static_cast<double>(s.prod[2]), p11 = static_cast<double>(s.prod[3]),
                     p12 = static_cast<double>(s.prod[4]), p22 = static_cast<double>(s.prod[5]);
        const double cov[9] = {
            p00 * invN - m[0] * m[0], p01 * invN - m[0] * m[1], p02 * invN - m[0] * m[2],
            p01 * invN - m[1] * m[0], p11 * invN - m[1] * m[1], p12 * invN - m[1] * m[2],
            p02 * invN - m[2] * m[0], p12 * invN - m[2] * m[1], p22 * invN - m[2] * m[2]};
        invertCovariance(ci, cov);
    }
}

double ColourModel::density(int ci, const double colour[3]) const {
    if (!(coefs_[ci] > 0)) return 0;
    const double d0 = colour[0] - mean_[ci][0];
    const double d1 = colour[1] - mean_[ci][1];
    const double d2 = colour[2] - mean_[ci][2];
    const double(&ic)[3][3] = inverse_[ci];
    const double mult = d0 * (d0 * ic[0][0] + d1 * ic[1][0] + d2 * ic[2][0]) +
                        d1 * (d0 * ic[0][1] + d1 * ic[1][1] + d2 * ic[2][1]) +
                        d2 * (d0 * ic[0][2] + d1 * ic[1][2] + d2 * ic[2][2]);
    // OpenCV writes the constant as a float. Far below exp's underflow (about -745) it gives
    // 0 exactly, through a slow path: the same 0, without it.
    constexpr double ALWAYS_ZERO = -750;
    const double exponent = -0.5f * mult;
    return exponent < ALWAYS_ZERO ? 0.0 : scale_[ci] * std::exp(exponent);
}

void ColourModel::invertCovariance(int ci, const double cov[9]) {
    constexpr double SINGULAR_FIX = 0.01;
    double c[9];
    for (int i = 0; i < 9; ++i) c[i] = cov[i];
    double det = c[0] * (c[4] * c[8] - c[5] * c[7]) - c[1] * (c[3] * c[8] - c[5] * c[6]) +
                 c[2] * (c[3] * c[7] - c[4] * c[6]);
    if (det <= 1e-6) {
        c[0] += SINGULAR_FIX;
        c[4] += SINGULAR_FIX;
        c[8] += SINGULAR_FIX;
        det = c[0] * (c[4] * c[8] - c[5] * c[7]) - c[1] * (c[3] * c[8] - c[5] * c[6]) +
              c[2] * (c[3] * c[7] - c[4] * c[6]);
    }
    // OpenCV 4.6's bound; later ones refuse up to 1e-6, where one-colour components fall.
    requireThat(det > std::numeric_limits<double>::epsilon(), "singular colour covariance");
    // OpenCV's 1.0f / sqrt(determinant), once per component rather than per colour.
    scale_[ci] = 1.0f / std::sqrt(det);
    const double inv = 1.0 / det;
    double(&ic)[3][3] = inverse_[ci];
    ic[0][0] = (c[4] * c[8] - c[5] * c[7]) * inv;
    ic[1][0] = -(c[3] * c[8] - c[5] * c[6]) * inv;
    ic[2][0] = (c[3] * c[7] - c[4] * c[6]) * inv;
    ic[0][1] = -(c[1] * c[8] - c[2] * c[7]) * inv;
    ic[1][1] = (c[0] * c[8] - c[2] * c[6]) * inv;
    ic[2][1] = -(c[0] * c[7] - c[1] * c[6]) * inv;
    ic[0][2] = (c[1] * c[5] - c[2] * c[4]) * inv;
    ic[1][2] = -(c[0] * c[5] - c[2] * c[3]) * inv;
    ic[2][2] = (c[0] * c[4] - c[1] * c[3]) * inv;
}

double terminalWeight(const ColourModel models[2], ColourKey key, std::uint8_t component[2]) {
    const double colour[3] = {static_cast<double>(channelOf(key, 0)),
                              static_cast<double>(channelOf(key, 1)),
                              static_cast<double>(channelOf(key, 2))};
    double likelihood[2];
    for (int cls = 0; cls < 2; ++cls) {
        double mixture = 0;
        double best = 0;
        int bestComponent = 0;
        for (int ci = 0; ci < COMPONENTS; ++ci) {
            const double p = models[cls].density(ci, colour);
            mixture += models[cls].coef(ci) * p;
            if (p > best) {
                bestComponent = ci;
                best = p;
            }
        }
        likelihood[cls] = mixture;
        component[cls] = static_cast<std::uint8_t>(bestComponent);
    }
    const double fromSource = -std::log(likelihood[0]);
    const double toSink = -std::log(likelihood[1]);
    return fromSource - toSink;
}

double terminalWeight(const ColourModel models[2], ColourKey key) {
    std::uint8_t component[2];
    return terminalWeight(models, key, component);
}

void judgeColours(const std::vector<std::uint32_t>& keys, const ColourModel models[2],
                  ColourVerdicts& verdicts) {
    const int count = static_cast<int>(keys.size());
    verdicts.component[0].resize(keys.size());
    verdicts.component[1].resize(keys.size());
    verdicts.startFlags.resize(keys.size());
    cv::parallel_for_(cv::Range(0, count), [&](const cv::Range& range) {
        for (int i = range.start; i < range.end; ++i) {
            std::uint8_t component[2];
            verdicts.startFlags[i] = startFlagsOf(terminalWeight(models, keys[i], component));
            verdicts.component[0][i] = component[0];
            verdicts.component[1][i] = component[1];
        }
    });
}

}  // namespace plantscan::section
