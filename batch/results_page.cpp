#include "batch/results_page.h"

#include "batch/atomic_file.h"
#include "batch/french_text.h"
#include "batch/html.h"
#include "batch/utc_time.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// SVG wants a decimal point.
std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::optional<std::int64_t> runSeconds(const RunTimes& run) {
    const std::optional<std::int64_t> start = parseUtcTime(run.start);
    const std::optional<std::int64_t> end = parseUtcTime(run.end);
    if (!start || !end || *end < *start) return std::nullopt;
    return *end - *start;
}

constexpr char PAGE_STYLE[] = R"(
body { font-family: system-ui, sans-serif; margin: 1em; color: #222; background: #fafafa; }
h1 { font-size: 1.5em; margin: 0 0 .4em; }
h2 { font-size: 1.2em; margin: 1.4em 0 .5em; border-bottom: 1px solid #ccc; }
h3 { font-size: 1em; margin: 0 0 .3em; overflow-wrap: anywhere; }
header p, header ul { margin: .25em 0; }
a { color: #1f5fa8; }
.echec { border-left: 5px solid #c62828; background: #fff3f3; padding: .5em .8em;
         margin: .5em 0; }
.echec pre { margin: .3em 0; white-space: pre-wrap; font-size: .85em; color: #600; }
.scans { display: flex; flex-wrap: wrap; gap: 12px; }
.scans .scan { display: flex; gap: 10px; background: #fff; border: 1px solid #ddd;
               border-radius: 4px; padding: 8px; width: 600px; box-sizing: border-box; }
.scans .scan.rate { border-color: #c62828; background: #fff3f3; }
.vignette { flex: none; }
.vignette img { width: 230px; height: auto; display: block; background: #eee; }
.sans-image { width: 230px; height: 120px; display: flex; align-items: center;
              justify-content: center; background: #eee; color: #777; flex: none; }
.details { min-width: 0; font-size: .9em; }
.statut { margin: 0 0 .4em; }
.statut.rate { color: #c62828; font-weight: bold; }
table.valeurs { border-collapse: collapse; margin-bottom: .4em; }
table.valeurs th, table.valeurs td { padding: 1px 3px; text-align: right; font-weight: normal; }
table.valeurs th { color: #555; text-align: left; white-space: nowrap; }
table.valeurs tr:first-child th { text-align: right; }
.principales { margin: 0 0 .3em; }
.principales .paire { white-space: nowrap; }
.principales .paire span { font-weight: bold; font-variant-numeric: tabular-nums; }
table.valeurs td { font-variant-numeric: tabular-nums; }
table.valeurs td.marque, .principales .marque, .marque { background: #ffd0d0; color: #a00000; font-weight: bold; cursor: help; }
.liens { font-size: .85em; color: #555; }
.resolution { margin: 0 0 .4em; background: #ffd0d0; color: #a00000; font-weight: bold; }
table.repartition td { padding: 0 8px 0 0; vertical-align: middle; font-size: .9em; }
table.repartition td.nombre { text-align: right; font-variant-numeric: tabular-nums; }
svg.bande { display: block; }
.petales.aucun { background: #fff3cd; padding: 0 3px; }
.planche { display: flex; flex-wrap: wrap; gap: 6px; align-items: flex-end; margin: 0 0 .4em; }
.planche figure { margin: 0; padding: 2px; text-align: center; font-size: .8em; }
.planche img { display: block; max-width: 80px; max-height: 80px; margin: 0 auto;
               background: #eee; }
.planche figure.marque { outline: 3px solid #c62828; cursor: help; }
)";

Html runsParagraph(const std::vector<RunTimes>& runs) {
    if (runs.empty()) return {};
    std::vector<RunTimes> sorted = runs;
    std::sort(sorted.begin(), sorted.end(),
              [](const RunTimes& a, const RunTimes& b) { return a.start < b.start; });
    std::int64_t total = 0;
    bool allKnown = true;
    Html items;
    for (const RunTimes& run : sorted) {
        const std::optional<std::int64_t> seconds = runSeconds(run);
        std::string text = frenchTime(run.start) + " → " + frenchTime(run.end);
        if (seconds) {
            total += *seconds;
            text += " (" + frenchDuration(static_cast<double>(*seconds)) + ")";
        } else {
            allKnown = false;
        }
        items += element("li", Html::text(text)) + "\n";
    }
    std::string summary = std::to_string(sorted.size()) + " lancement(s), du " +
                          frenchTime(sorted.front().start) + " au " +
                          frenchTime(sorted.back().end) + " (UTC)";
    if (allKnown) summary += ", durée cumulée " + frenchDuration(static_cast<double>(total));
    return element("p", {{"class", "lancements"}}, Html::text(summary + ".")) + "\n" +
           element("details", "\n" + element("summary", "Chaque lancement") + "\n" +
                                  element("ul", "\n" + items) + "\n") +
           "\n";
}

// The outlier rule, with its numbers.
std::string markRule(const std::string& items) {
    return "s'écarte de la médiane de la série de plus de " + frenchNumber(OUTLIER_LIMIT) +
           " écarts robustes (" + frenchNumber(MEDIAN_DEVIATION_SCALE, 5) +
           " × l'écart absolu médian), calculés sur les " + items +
           " mesurés ; le détail s'affiche au survol. Rien n'est marqué avec moins de " +
           std::to_string(FEWEST_FOR_MARKS) + " " + items + " mesurés.";
}

Html pageHeader(const std::vector<ScanResult>& results, const FolderLayout& layout,
                const PageContext& context, const std::string& title, const std::string& items) {
    std::map<std::string, int> failures;
    std::size_t measured = 0;
    for (const ScanResult& result : results) {
        if (result.measured())
            ++measured;
        else
            ++failures[outcomeWords(result, layout)];
    }
    Html html = "<header>\n" + element("h1", Html::text(title)) + "\n";
    html +=
        element("p", {{"class", "bilan"}},
                element("strong", number(results.size()) + " scan(s)") + " : " + number(measured) +
                    " mesuré(s), " + number(results.size() - measured) + " en échec.") +
        "\n";
    if (!failures.empty()) {
        Html items;
        for (const auto& [words, count] : failures) {
            items += element("li", Html::text(words + " : " + std::to_string(count))) + "\n";
        }
        html += element("ul", {{"class", "statuts"}}, "\n" + items) + "\n";
    }
    html += runsParagraph(context.runs);
    const Html table = Html::text(context.tableFile);
    html += context.tablePresent
                ? element("p", "Tableau de toutes les valeurs : " +
                                   element("a", {{"href", context.tableFile}}, table) +
                                   ", dans ce dossier.")
                : element("p", "Tableau : " + table +
                                   Html::text(" pas encore écrit (lancez " + context.batchName +
                                              " --merge sur ce dossier)."));
    return html + "\n" +
           element("p", "Une valeur " + element("span", {{"class", "marque"}}, "marquée") + " " +
                            Html::text(markRule(items))) +
           "\n</header>\n";
}

Html failuresSection(const std::vector<ScanResult>& results, const FolderLayout& layout) {
    Html articles;
    std::size_t count = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const ScanResult& result = results[i];
        if (result.measured()) continue;
        ++count;
        Html article =
            "\n" +
            element("h3", element("a", {{"href", "#" + cardId(i)}}, Html::text(result.scanName))) +
            "\n" +
            element("p", {{"class", "statut rate"}}, Html::text(outcomeWords(result, layout))) +
            "\n";
        if (!result.firstErrorLines.empty()) {
            article += element("pre", Html::text(result.firstErrorLines)) + "\n";
        }
        if (result.holds(ERRORS_FILE)) {
            article += element("p", {{"class", "liens"}},
                               folderLink(result, ERRORS_FILE, Html::text(ERRORS_FILE)) +
                                   (result.firstErrorLines.empty() ? Html(" (vide)") : Html())) +
                       "\n";
        }
        articles += element("article", {{"class", "scan echec"}}, article) + "\n";
    }
    if (count == 0) return {};
    return element("section", {{"id", "echecs"}},
                   "\n" + element("h2", "Échecs (" + number(count) + ")") + "\n" + articles) +
           "\n";
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

std::string cardId(std::size_t scan) { return "scan-" + std::to_string(scan); }

Html number(std::size_t value) { return Html::text(std::to_string(value)); }

Html folderLink(const ScanResult& result, const std::string& file, const Html& content) {
    return element("a", {{"href", folderFileUrl(result.scanName, file)}}, content);
}

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

Html scanCard(const ScanResult& result, const FolderLayout& layout, std::size_t scan,
              const Html& details) {
    const std::string failed = result.measured() ? "" : " rate";
    Html picture;
    if (result.holds(THUMBNAIL_FILE)) {
        picture = element(
            "a", {{"class", "vignette"}, {"href", folderFileUrl(result.scanName, layout.overview)}},
            voidElement("img", {{"src", folderFileUrl(result.scanName, THUMBNAIL_FILE)},
                                {"alt", layout.overview + " de " + result.scanName}}));
    } else {
        picture =
            element("div", {{"class", "sans-image"}},
                    result.holds(layout.overview) ? Html("pas de vignette") : Html("pas d'image"));
    }
    Html text =
        "\n" + element("h3", Html::text(result.scanName)) + "\n" +
        element("p", {{"class", "statut" + failed}}, Html::text(outcomeWords(result, layout))) +
        "\n";
    if (statesOtherResolution(result, layout)) {
        text +=
            element(
                "p", {{"class", "resolution"}},
                Html::text(resolutionWords(*result.statedResolution, usedDpi(result, layout)))) +
            "\n";
    }
    text += details;
    Html links;
    bool first = true;
    const auto addLink = [&](const std::string& file, const std::string& shows) {
        if (!result.holds(file)) return;
        if (!first) links += " · ";
        links += folderLink(result, file, Html::text(shows));
        first = false;
    };
    for (const ProgramFile& file : layout.programFiles) addLink(file.name, file.shows);
    for (const char* file : {CONSOLE_FILE, ERRORS_FILE}) addLink(file, file);
    if (!first) text += element("p", {{"class", "liens"}}, links) + "\n";
    return element("article", {{"class", "scan" + failed}, {"id", cardId(scan)}},
                   "\n" + picture + "\n" + element("div", {{"class", "details"}}, text) + "\n") +
           "\n";
}

Html cardsSection(const std::vector<Html>& cards) {
    Html all;
    for (const Html& card : cards) all += card;
    return element(
               "section", {{"id", "scans"}},
               "\n" +
                   element("h2", "Scans (" + number(cards.size()) + "), dans l'ordre du tableau") +
                   "\n" + element("div", {{"class", "scans"}}, "\n" + all) + "\n") +
           "\n";
}

std::string resultsPage(const std::vector<ScanResult>& results, const FolderLayout& layout,
                        const PageContext& context, const std::string& title,
                        const std::string& items, const Html& sections) {
    // The page promises no script: the browser holds it to that, whatever a name would hold.
    const Html head =
        "\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'; object-src "
        "'none'; base-uri 'none'\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n" +
        element("title", Html::text(title + " : ") + number(results.size()) + " scan(s)") + "\n" +
        element("style", PAGE_STYLE) + "\n";
    const Html body = "\n" + pageHeader(results, layout, context, title, items) +
                      failuresSection(results, layout) + sections;
    return ("<!DOCTYPE html>\n" +
            element("html", {{"lang", "fr"}},
                    "\n" + element("head", head) + "\n" + element("body", body) + "\n") +
            "\n")
        .str();
}

bool writeResultsPage(const fs::path& outFolder, const std::string& page) {
    return writeFileAtomically(outFolder / RESULTS_PAGE_FILE, page);
}
