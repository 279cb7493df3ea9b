#include "page/statistics.h"

#include <algorithm>
#include <cmath>

namespace plantscan::page {

namespace {

double medianOf(std::vector<double> values) {
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(half), values.end());
    const double upper = values[half];
    if (values.size() % 2 == 1) return upper;
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<long>(half));
    return lower + (upper - lower) / 2;
}

}  // namespace

std::optional<Spread> robustSpread(const std::vector<double>& values) {
    if (values.size() < FEWEST_FOR_MARKS) return std::nullopt;
    const double median = medianOf(values);
    std::vector<double> distances;
    for (const double v : values) distances.push_back(std::fabs(v - median));
    double deviation = MEDIAN_DEVIATION_SCALE * medianOf(distances);
    if (deviation == 0) {
        // Over half the values equal: the mean distance (to the same median) still sees the rest.
        double sum = 0;
        for (const double d : distances) sum += d;
        deviation = MEAN_DEVIATION_SCALE * sum / static_cast<double>(distances.size());
    }
    if (!(deviation > 0) || !std::isfinite(deviation)) return std::nullopt;
    return Spread{median, deviation};
}

bool standsOut(double value, const Spread& spread) {
    return std::fabs(value - spread.median) > OUTLIER_LIMIT * spread.deviation;
}

std::vector<bool> markOutliers(const std::vector<double>& values) {
    std::vector<bool> marks(values.size(), false);
    if (const std::optional<Spread> spread = robustSpread(values)) {
        for (std::size_t i = 0; i < values.size(); ++i) marks[i] = standsOut(values[i], *spread);
    }
    return marks;
}

}  // namespace plantscan::page
