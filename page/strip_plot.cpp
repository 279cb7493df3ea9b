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

// An SVG text label.
Html label(const std::string& x, const char* anchor, const std::string& text) {
    return element(
        "text",
        {{"x", x}, {"y", "33"}, {"font-size", "10"}, {"text-anchor", anchor}, {"fill", "#444"}},
        Html::text(text));
}

// Under the strip, the smallest value, the median and the largest written where they lie, with
// a tick each; the median's only where it leaves the others room, a cell of its row holding it
// anyway.
template <typename Position>
Html scale(const ValueSeries& series, const Position& at) {
    std::vector<double> measured;
    for (const std::optional<double>& number : series.numbers)
        if (number) measured.push_back(*number);
    if (measured.empty()) return {};
    const auto [lowest, highest] = std::minmax_element(measured.begin(), measured.end());
    // About a character's width, at the labels' size.
    const auto width = [](const std::string& text) {
        return 5.8 * static_cast<double>(text.size());
    };
    const auto x = [&](double value) { return coordinate(at(value)); };
    Html html;
    const auto tick = [&](double value) {
        html += element(
            "line",
            {{"x1", x(value)}, {"y1", "21"}, {"x2", x(value)}, {"y2", "24"}, {"stroke", "#888"}},
            {});
    };
    const std::string low = frenchNumber(*lowest), high = frenchNumber(*highest);
    tick(*lowest);
    if (low == high) return html + label(x(*lowest), "middle", low);
    tick(*highest);
    html += label(x(*lowest), "start", low) + label(x(*highest), "end", high);
    if (!series.spread) return html;
    const std::string median = frenchNumber(series.spread->median);
    const double left = at(*lowest) + width(low) + 4, right = at(*highest) - width(high) - 4;
    const double half = width(median) / 2;
    if (right - left < 2 * half) return html;
    tick(series.spread->median);
    return html +
           label(coordinate(std::clamp(at(series.spread->median), left + half, right - half)),
                 "middle", median);
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
                                       {"height", "36"},
                                       {"viewBox", "0 0 320 36"},
                                       {"xmlns", "http://www.w3.org/2000/svg"}};
    Html svg = "<line x1=\"0\" y1=\"11\" x2=\"320\" y2=\"11\" stroke=\"#ddd\"/>";
    if (low > high) return element("svg", frame, svg);
    if (high - low <= 1e-12 * std::max(1.0, std::fabs(high))) {
        low -= 1;
        high += 1;
    }
    const auto at = [&](double value) {
        if (value < low) return MARGIN / 2;
        if (value > high) return WIDTH - MARGIN / 2;
        return MARGIN + (value - low) / (high - low) * (WIDTH - 2 * MARGIN);
    };
    const auto x = [&](double value) { return coordinate(at(value)); };
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
    return element("svg", frame, svg + scale(series, at) + marks);  // marked dots last, on top
}

}  // namespace

ValueSeries valueSeries(std::string name, std::string unit, std::size_t items,
                        const std::function<Dot(std::size_t)>& dotOf) {
    ValueSeries series{std::move(name), std::move(unit), {}, {}, {}, std::nullopt, {}};
    for (std::size_t i = 0; i < items; ++i) {
        Dot dot = dotOf(i);
        series.numbers.push_back(dot.number);
        series.labels.push_back(std::move(dot.label));
        series.targets.push_back(std::move(dot.target));
    }
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
                                          "scan) ; dessous, la plus petite valeur, la médiane et "
                                          "la plus grande.")) +
                       "\n" + element("table", {{"class", "repartition"}}, "\n" + rows) + "\n") +
           "\n";
}

}  // namespace plantscan::page
