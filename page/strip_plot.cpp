#include "page/strip_plot.h"

#include "page/french_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plantscan::page {

namespace {

// SVG wants a decimal point.
std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Each measured item as a dot. The axis spans the unmarked values and the band within
// OUTLIER_LIMIT robust deviations (shaded, median as a line); marked values lie beyond it, so
// they are drawn in red in the margins, left or right, where one far value cannot squeeze the
// others together.
Html stripPlot(const ValueSeries& series) {
    constexpr double WIDTH = 320, HEIGHT = 22, MARGIN = 14;
    double low = INFINITY, high = -INFINITY;
    const auto include = [&](double value) {
        low = std::min(low, value);
        high = std::max(high, value);
    };
    for (std::size_t i = 0; i < series.numbers.size(); ++i) {
        if (series.numbers[i] && !series.marked[i]) include(*series.numbers[i]);
    }
    if (series.spread) {
        include(series.spread->median - OUTLIER_LIMIT * series.spread->deviation);
        include(series.spread->median + OUTLIER_LIMIT * series.spread->deviation);
    }
    const std::vector<Attribute> frame{{"class", "bande"},
                                       {"width", "320"},
                                       {"height", "22"},
                                       {"viewBox", "0 0 320 22"},
                                       {"xmlns", "http://www.w3.org/2000/svg"}};
    Html svg = "<line x1=\"0\" y1=\"11\" x2=\"320\" y2=\"11\" stroke=\"#ddd\"/>";
    if (low > high) return element("svg", frame, svg);
    if (high - low <= 1e-12 * std::max(1.0, std::fabs(high))) {
        low -= 1;
        high += 1;
    }
    const auto x = [&](double value) {
        if (value < low) return coordinate(MARGIN / 2);
        if (value > high) return coordinate(WIDTH - MARGIN / 2);
        return coordinate(MARGIN + (value - low) / (high - low) * (WIDTH - 2 * MARGIN));
    };
    if (const std::optional<Spread>& spread = series.spread) {
        svg += element("rect",
                       {{"x", coordinate(MARGIN)},
                        {"y", "2"},
                        {"width", coordinate(WIDTH - 2 * MARGIN)},
                        {"height", "18"},
                        {"fill", "#e3eefa"}},
                       {}) +
               element("line",
                       {{"x1", x(spread->median)},
                        {"y1", "1"},
                        {"x2", x(spread->median)},
                        {"y2", "21"},
                        {"stroke", "#7a9cc6"}},
                       {});
    }
    Html marks;
    for (std::size_t i = 0; i < series.numbers.size(); ++i) {
        if (!series.numbers[i]) continue;
        // A fixed small jitter, so that equal values stay countable.
        const std::string y =
            coordinate(HEIGHT / 2 + static_cast<double>(static_cast<int>(i * 7 % 9) - 4));
        if (series.marked[i]) {
            const std::string title = series.labels[i] + " : " + frenchNumber(*series.numbers[i]);
            marks += element("a", {{"href", series.targets[i]}},
                             element("circle",
                                     {{"class", "marque"},
                                      {"cx", x(*series.numbers[i])},
                                      {"cy", y},
                                      {"r", "4.5"},
                                      {"fill", "#d62728"}},
                                     element("title", Html::text(title))));
        } else {
            svg += element("circle",
                           {{"cx", x(*series.numbers[i])},
                            {"cy", y},
                            {"r", "2.5"},
                            {"fill", "#1f5fa8"},
                            {"fill-opacity", "0.45"}},
                           {});
        }
    }
    return element("svg", frame, svg + marks);  // marked dots last, on top
}

}  // namespace

ValueSeries valueSeries(std::string name, std::string unit,
                        std::vector<std::optional<double>> numbers, std::vector<std::string> labels,
                        std::vector<std::string> targets) {
    ValueSeries series{std::move(name),
                       std::move(unit),
                       std::move(numbers),
                       std::move(labels),
                       std::move(targets),
                       std::nullopt,
                       {}};
    std::vector<double> measured;
    for (const std::optional<double>& number : series.numbers) {
        if (number) measured.push_back(*number);
    }
    series.spread = robustSpread(measured);
    for (const std::optional<double>& number : series.numbers) {
        series.marked.push_back(series.spread && number && standsOut(*number, *series.spread));
    }
    return series;
}

std::string markTitle(const ValueSeries& series, std::size_t item) {
    const Spread& spread = *series.spread;
    const double value = *series.numbers[item];
    const double distance = std::fabs(value - spread.median);
    const std::string unit = " " + series.unit;
    return "Hors série : " + frenchNumber(value) + unit + " est à " + frenchNumber(distance, 3) +
           unit + " de la médiane (" + frenchNumber(spread.median) + unit + "), soit " +
           frenchNumber(distance / spread.deviation, 3) + " écarts robustes (limite " +
           frenchNumber(OUTLIER_LIMIT) + " ; écart robuste " + frenchNumber(spread.deviation, 3) +
           unit + ")";
}

Html distributionsSection(const std::vector<ValueSeries>& series, const std::string& heading,
                          const std::string& itemName) {
    Html rows;
    for (const ValueSeries& one : series) {
        const long marks = std::count(one.marked.begin(), one.marked.end(), true);
        const std::string median =
            one.spread ? "médiane " + frenchNumber(one.spread->median) : std::string();
        const std::string marked =
            marks > 0 ? std::to_string(marks) + " marquée(s)" : std::string();
        rows += element("tr", element("td", Html::text(one.name + " (" + one.unit + ")")) +
                                  element("td", {{"class", "nombre"}}, Html::text(median)) +
                                  element("td", stripPlot(one)) +
                                  element("td", {{"class", "nombre"}}, Html::text(marked))) +
                "\n";
    }
    return element("section", {{"id", "repartition"}},
                   "\n" + element("h2", Html::text(heading)) + "\n" +
                       element("p", {{"class", "liens"}},
                               Html::text("Un point par " + itemName +
                                          " ; en bleu clair, l'intervalle à moins de " +
                                          frenchNumber(OUTLIER_LIMIT) +
                                          " écarts robustes de la médiane (trait vertical) ; en "
                                          "rouge, aux bords, les valeurs marquées, qui sont "
                                          "au-delà (le nom s'affiche au survol, un clic mène au "
                                          "scan).")) +
                       "\n" + element("table", {{"class", "repartition"}}, "\n" + rows) + "\n") +
           "\n";
}

}  // namespace plantscan::page
