// The distributions of a results page: each value over the batch as a strip of dots, the values
// that stand out marked.
#pragma once

#include "page/html.h"
#include "page/statistics.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::page {

// One value over the batch: one number per item (a scan, a leaflet), with what names it on
// hover and where a click on its dot goes; the median, the spread and the marks over them.
struct ValueSeries {
    std::string name;  // "Largeur primocanne"
    std::string unit;  // "mm"
    std::vector<std::optional<double>> numbers;
    std::vector<std::string> labels;   // "coupe_3.jpg"
    std::vector<std::string> targets;  // "#scan-3"
    std::optional<Spread> spread;
    std::vector<bool> marked;
};

// One item of a series: its number (none when it was not measured), its name on hover and
// where a click on its dot goes.
struct Dot {
    std::optional<double> number;
    std::string label;
    std::string target;
};

// The series of `items` items, dotOf(i) giving the i-th; its spread and marks computed.
ValueSeries valueSeries(std::string name, std::string unit, std::size_t items,
                        const std::function<Dot(std::size_t)>& dotOf);

// Why item i is marked, for its title on hover.
std::string markTitle(const ValueSeries& series, std::size_t item);

// The strip plots of `series`, one row each, under `heading`.
Html distributionsSection(const std::vector<ValueSeries>& series, const std::string& heading,
                          const std::string& itemName);

}  // namespace plantscan::page
