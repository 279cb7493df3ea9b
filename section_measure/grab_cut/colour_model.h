// grabCut's colour models: a mixture of five Gaussians per class, learnt from exact integer sums
// of the colours given to each component, and what they say of each distinct colour.
#pragma once

#include "section_measure/grab_cut/colour_index.h"

#include <cstdint>
#include <vector>

namespace plantscan::section {

inline constexpr int COMPONENTS = 5;

// One Gaussian's samples: count, sums and the six distinct sums of products (exact integers).
struct ComponentSums {
    std::int64_t count = 0;
    std::int64_t sum[3] = {0, 0, 0};
    std::int64_t prod[6] = {0, 0, 0, 0, 0, 0};  // 00 01 02 11 12 22

    // `times` samples of the colour (b, g, r); a negative `times` takes them out.
    void add(std::int64_t b, std::int64_t g, std::int64_t r, std::int64_t times = 1) {
        count += times;
        sum[0] += b * times;
        sum[1] += g * times;
        sum[2] += r * times;
        prod[0] += b * b * times;
        prod[1] += b * g * times;
        prod[2] += b * r * times;
        prod[3] += g * g * times;
        prod[4] += g * r * times;
        prod[5] += r * r * times;
    }
    void add(const ComponentSums& other);
};

struct ModelSums {
    ComponentSums component[COMPONENTS];
    void add(const ModelSums& other);
};

// OpenCV's GMM of five Gaussians, with its arithmetic.
class ColourModel {
public:
    // Throws cv::Exception where OpenCV's would (a singular covariance).
    void learn(const ModelSums& sums);
    double coef(int ci) const { return coefs_[ci]; }
    // The component's weighted density at the colour (B, G, R), as OpenCV computes it.
    double density(int ci, const double colour[3]) const;

private:
    void invertCovariance(int ci, const double cov[9]);

    double coefs_[COMPONENTS] = {0, 0, 0, 0, 0};
    double mean_[COMPONENTS][3] = {};
    double inverse_[COMPONENTS][3][3] = {};
    double scale_[COMPONENTS] = {};  // 1 / sqrt(determinant), in OpenCV's float-then-double form
};

// What the models say of each distinct colour: its likeliest component in each model (for the
// next assignment) and the start flags of its terminal weight (see startFlagsOf), the weight
// being computed again where a flow needs it.
struct ColourVerdicts {
    std::vector<std::uint8_t> component[2];
    std::vector<std::uint8_t> startFlags;
};

// A colour's terminal weight, OpenCV's -log(background) - -log(foreground), and its likeliest
// component in each model.
double terminalWeight(const ColourModel models[2], ColourKey key, std::uint8_t component[2]);
double terminalWeight(const ColourModel models[2], ColourKey key);

// Fills `verdicts` for each colour of `keys` (B | G << 8 | R << 16), on OpenCV's threads.
void judgeColours(const std::vector<std::uint32_t>& keys, const ColourModel models[2],
                  ColourVerdicts& verdicts);

}  // namespace plantscan::section
