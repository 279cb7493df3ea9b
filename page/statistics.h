// Which values of a batch stand out from the others: the median and a spread that a few wild
// values do not inflate.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace plantscan::page {

// A value is marked beyond this many robust deviations from the median.
inline constexpr double OUTLIER_LIMIT = 3.5;
// The median absolute deviation, and the mean absolute deviation, times these give a normal
// law's standard deviation.
inline constexpr double MEDIAN_DEVIATION_SCALE = 1.4826;
inline constexpr double MEAN_DEVIATION_SCALE = 1.2533;
// Among fewer values nothing is marked.
inline constexpr std::size_t FEWEST_FOR_MARKS = 5;

struct Spread {
    double median;
    double deviation;  // robust standard deviation
};

// MEDIAN_DEVIATION_SCALE x the median absolute deviation, or, when that is 0 (over half the
// values equal), MEAN_DEVIATION_SCALE x the mean absolute distance to the median; nothing among
// fewer than FEWEST_FOR_MARKS values, nor when both are 0.
std::optional<Spread> robustSpread(const std::vector<double>& values);

bool standsOut(double value, const Spread& spread);

// Which values lie further than OUTLIER_LIMIT robust deviations from the median.
std::vector<bool> markOutliers(const std::vector<double>& values);

}  // namespace plantscan::page
