#include "batch/results_page.h"

#include "batch/atomic_file.h"
#include "batch/french_text.h"
#include "batch/html.h"
#include "batch/statistics.h"
#include "batch/table.h"
#include "batch/utc_time.h"
#include "section_measure/report_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The report's lines the page shows, in the order shown: single values first, among a card's
// main values, then the lines of one value per corner or hollow, as rows of a small table.
struct ShownLine {
    ReportLineIndex line;
    const char* name;   // in the distributions
    const char* label;  // in a card
};

const std::array<ShownLine, 6> SHOWN_LINES{{
    {SECTION_WIDTH, "Largeur primocanne", "Largeur"},
    {CIRCUMSCRIBED_DIAMETER, "Diamètre du cercle circonscrit", "Ø circonscrit"},
    {INSCRIBED_DIAMETER, "Diamètre du cercle inscrit", "Ø inscrit"},
    {ANGLE_RADII, "Rayon de courbure de l'angle", "Rayon angle"},
    {HOLLOW_RADII, "Rayon de courbure du creux", "Rayon creux"},
    {HOLLOW_DEPTHS, "Profondeur du creux", "Profondeur"},
}};

// One value the page shows: a cell of the table row.
struct ShownValue {
    std::size_t cell;
    std::string name;  // "Rayon de courbure de l'angle 3"
    const char* label;
    bool single;  // alone on its line of the report
};

std::vector<ShownValue> shownValues() {
    std::vector<ShownValue> values;
    for (const ShownLine& shown : SHOWN_LINES) {
        const int count = REPORT_LINES[shown.line].values;
        for (int k = 0; k < count; ++k) {
            const std::string name =
                count == 1 ? std::string(shown.name) : shown.name + (" " + std::to_string(k + 1));
            values.push_back({static_cast<std::size_t>(firstReportCell(shown.line) + k), name,
                              shown.label, count == 1});
        }
    }
    return values;
}

// Per shown value: the parsed cell of each scan, the batch's spread and which scans stand out.
struct ValueColumn {
    std::vector<std::optional<double>> numbers;
    std::optional<Spread> spread;
    std::vector<bool> marked;
};

std::vector<ValueColumn> valueColumns(const std::vector<ScanResult>& results,
                                      const std::vector<ShownValue>& values) {
    std::vector<ValueColumn> columns;
    for (const ShownValue& value : values) {
        ValueColumn column;
        std::vector<double> measured;
        for (const ScanResult& result : results) {
            std::optional<double> number;
            if (result.measured()) number = parseCell((*result.cells)[value.cell]);
            column.numbers.push_back(number);
            if (number) measured.push_back(*number);
        }
        column.spread = robustSpread(measured);
        for (const std::optional<double>& number : column.numbers) {
            column.marked.push_back(column.spread && number && standsOut(*number, *column.spread));
        }
        columns.push_back(column);
    }
    return columns;
}

// SVG wants a decimal point.
std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string cardId(std::size_t scan) { return "scan-" + std::to_string(scan); }

Html number(std::size_t value) { return Html::text(std::to_string(value)); }

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
std::string markRule() {
    return "s'écarte de la médiane de la série de plus de " + frenchNumber(OUTLIER_LIMIT) +
           " écarts robustes (" + frenchNumber(MEDIAN_DEVIATION_SCALE, 5) +
           " × l'écart absolu médian), calculés sur les scans mesurés ; le détail s'affiche au "
           "survol. Rien n'est marqué avec moins de " +
           std::to_string(FEWEST_FOR_MARKS) + " scans mesurés.";
}

Html pageHeader(const std::vector<ScanResult>& results, bool tablePresent,
                const std::vector<RunTimes>& runs) {
    std::map<std::string, int> failures;
    std::size_t measured = 0;
    for (const ScanResult& result : results) {
        if (result.measured())
            ++measured;
        else
            ++failures[outcomeWords(result)];
    }
    Html html = "<header>\n<h1>Rapport de mesure des sections</h1>\n";
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
    html += runsParagraph(runs);
    const Html table = Html::text(TABLE_FILE);
    html +=
        tablePresent
            ? element("p", "Tableau de toutes les valeurs : " +
                               element("a", {{"href", TABLE_FILE}}, table) + ", dans ce dossier.")
            : element("p", "Tableau : " + table +
                               " pas encore écrit (lancez section_batch --merge sur ce "
                               "dossier).");
    return html + "\n" +
           element("p", "Une valeur " + element("span", {{"class", "marque"}}, "marquée") + " " +
                            Html::text(markRule())) +
           "\n</header>\n";
}

Html link(const ScanResult& result, const std::string& file, const Html& content) {
    return element("a", {{"href", folderFileUrl(result.scanName, file)}}, content);
}

Html failuresSection(const std::vector<ScanResult>& results) {
    Html articles;
    std::size_t count = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const ScanResult& result = results[i];
        if (result.measured()) continue;
        ++count;
        Html article =
            "\n" +
            element("h3", element("a", {{"href", "#" + cardId(i)}}, Html::text(result.scanName))) +
            "\n" + element("p", {{"class", "statut rate"}}, Html::text(outcomeWords(result))) +
            "\n";
        if (!result.firstErrorLines.empty()) {
            article += element("pre", Html::text(result.firstErrorLines)) + "\n";
        }
        if (result.holds(ERRORS_FILE)) {
            article += element("p", {{"class", "liens"}},
                               link(result, ERRORS_FILE, Html::text(ERRORS_FILE)) +
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

std::string markTitle(const Spread& spread, double value) {
    const double distance = std::fabs(value - spread.median);
    return "Hors série : " + frenchNumber(value) + " mm est à " + frenchNumber(distance, 3) +
           " mm de la médiane (" + frenchNumber(spread.median) + " mm), soit " +
           frenchNumber(distance / spread.deviation, 3) + " écarts robustes (limite " +
           frenchNumber(OUTLIER_LIMIT) + " ; écart robuste " + frenchNumber(spread.deviation, 3) +
           " mm)";
}

// Each measured scan as a dot. The axis spans the unmarked values and the band within
// OUTLIER_LIMIT robust deviations (shaded, median as a line); marked values lie beyond it, so
// they are drawn in red in the margins, left or right, where one far value cannot squeeze the
// others together.
Html stripPlot(const ValueColumn& column, const std::vector<ScanResult>& results) {
    constexpr double WIDTH = 320, HEIGHT = 22, MARGIN = 14;
    double low = INFINITY, high = -INFINITY;
    const auto include = [&](double value) {
        low = std::min(low, value);
        high = std::max(high, value);
    };
    for (std::size_t i = 0; i < column.numbers.size(); ++i) {
        if (column.numbers[i] && !column.marked[i]) include(*column.numbers[i]);
    }
    if (column.spread) {
        include(column.spread->median - OUTLIER_LIMIT * column.spread->deviation);
        include(column.spread->median + OUTLIER_LIMIT * column.spread->deviation);
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
    if (const std::optional<Spread>& spread = column.spread) {
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
    for (std::size_t i = 0; i < column.numbers.size(); ++i) {
        if (!column.numbers[i]) continue;
        // A fixed small jitter, so that equal values stay countable.
        const std::string y =
            coordinate(HEIGHT / 2 + static_cast<double>(static_cast<int>(i * 7 % 9) - 4));
        if (column.marked[i]) {
            const std::string title =
                results[i].scanName + " : " + frenchNumber(*column.numbers[i]);
            marks += element("a", {{"href", "#" + cardId(i)}},
                             element("circle",
                                     {{"class", "marque"},
                                      {"cx", x(*column.numbers[i])},
                                      {"cy", y},
                                      {"r", "4.5"},
                                      {"fill", "#d62728"}},
                                     element("title", Html::text(title))));
        } else {
            svg += element("circle",
                           {{"cx", x(*column.numbers[i])},
                            {"cy", y},
                            {"r", "2.5"},
                            {"fill", "#1f5fa8"},
                            {"fill-opacity", "0.45"}},
                           {});
        }
    }
    return element("svg", frame, svg + marks);  // marked dots last, on top
}

Html distributionsSection(const std::vector<ScanResult>& results,
                          const std::vector<ShownValue>& values,
                          const std::vector<ValueColumn>& columns) {
    Html rows;
    for (std::size_t v = 0; v < values.size(); ++v) {
        const ValueColumn& column = columns[v];
        const long marks = std::count(column.marked.begin(), column.marked.end(), true);
        const std::string median =
            column.spread ? "médiane " + frenchNumber(column.spread->median) : std::string();
        const std::string marked =
            marks > 0 ? std::to_string(marks) + " marquée(s)" : std::string();
        rows += element("tr", element("td", Html::text(values[v].name + " (mm)")) +
                                  element("td", {{"class", "nombre"}}, Html::text(median)) +
                                  element("td", stripPlot(column, results)) +
                                  element("td", {{"class", "nombre"}}, Html::text(marked))) +
                "\n";
    }
    return element(
               "section", {{"id", "repartition"}},
               "\n" + element("h2", "Répartition des valeurs principales (scans mesurés)") + "\n" +
                   element("p", {{"class", "liens"}},
                           Html::text("Un point par scan ; en bleu clair, l'intervalle à moins "
                                      "de " +
                                      frenchNumber(OUTLIER_LIMIT) +
                                      " écarts robustes de la médiane (trait vertical) ; en "
                                      "rouge, aux bords, les valeurs marquées, qui sont au-delà "
                                      "(le nom s'affiche au survol, un clic mène au scan).")) +
                   "\n" + element("table", {{"class", "repartition"}}, "\n" + rows) + "\n") +
           "\n";
}

// A table cell, or a span, with its value as written in the table.
Html valueElement(const char* tag, const ScanResult& result, const ShownValue& value,
                  const ValueColumn& column, std::size_t scan) {
    const Html text = Html::text((*result.cells)[value.cell]);
    if (!column.marked[scan]) return element(tag, text);
    return element(
        tag, {{"class", "marque"}, {"title", markTitle(*column.spread, *column.numbers[scan])}},
        text);
}

Html valuesTable(const ScanResult& result, const std::vector<ShownValue>& values,
                 const std::vector<ValueColumn>& columns, std::size_t scan) {
    Html main;
    Html rows;
    for (std::size_t v = 0; v < values.size();) {
        const ShownValue& value = values[v];
        if (value.single) {
            if (v > 0) main += " · ";
            main += element("span", {{"class", "paire"}},
                            Html::text(value.label) + " " +
                                valueElement("span", result, value, columns[v], scan));
            ++v;
            continue;
        }
        Html row = element("th", Html::text(value.label));
        for (; v < values.size() && values[v].label == value.label; ++v) {
            row += valueElement("td", result, values[v], columns[v], scan);
        }
        rows += element("tr", row) + "\n";
    }
    Html numbers = element("th", "(mm)");
    for (int k = 1; k <= LOBE_COUNT; ++k) numbers += element("th", number(k));
    return element("p", {{"class", "principales"}}, main + " mm") + "\n" +
           element("table", {{"class", "valeurs"}}, "\n" + element("tr", numbers) + "\n" + rows) +
           "\n";
}

Html scanCard(const ScanResult& result, const FolderLayout& layout,
              const std::vector<ShownValue>& values, const std::vector<ValueColumn>& columns,
              std::size_t scan) {
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
    Html details = "\n" + element("h3", Html::text(result.scanName)) + "\n" +
                   element("p", {{"class", "statut" + failed}}, Html::text(outcomeWords(result))) +
                   "\n";
    if (statesOtherResolution(result, layout)) {
        details += element("p", {{"class", "resolution"}},
                           Html::text(resolutionWords(*result.statedResolution, layout.scanDpi))) +
                   "\n";
    }
    if (result.measured()) details += valuesTable(result, values, columns, scan);
    Html links;
    bool first = true;
    const auto addLink = [&](const std::string& file, const std::string& shows) {
        if (!result.holds(file)) return;
        if (!first) links += " · ";
        links += link(result, file, Html::text(shows));
        first = false;
    };
    for (const OutputFile& file : layout.programFiles) addLink(file.name, file.shows);
    for (const char* file : {CONSOLE_FILE, ERRORS_FILE}) addLink(file, file);
    if (!first) details += element("p", {{"class", "liens"}}, links) + "\n";
    return element("article", {{"class", "scan" + failed}, {"id", cardId(scan)}},
                   "\n" + picture + "\n" + element("div", {{"class", "details"}}, details) + "\n") +
           "\n";
}

Html cardsSection(const std::vector<ScanResult>& results, const FolderLayout& layout,
                  const std::vector<ShownValue>& values, const std::vector<ValueColumn>& columns) {
    Html cards;
    for (std::size_t i = 0; i < results.size(); ++i) {
        cards += scanCard(results[i], layout, values, columns, i);
    }
    return element("section", {{"id", "scans"}},
                   "\n" +
                       element("h2",
                               "Scans (" + number(results.size()) + "), dans l'ordre du tableau") +
                       "\n" + element("div", {{"class", "scans"}}, "\n" + cards) + "\n") +
           "\n";
}

}  // namespace

std::string resultsPage(const std::vector<ScanResult>& results, const FolderLayout& layout,
                        bool tablePresent, const std::vector<RunTimes>& runs) {
    const std::vector<ShownValue> values = shownValues();
    const std::vector<ValueColumn> columns = valueColumns(results, values);
    // The page promises no script: the browser holds it to that, whatever a name would hold.
    const Html head =
        "\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'; object-src "
        "'none'; base-uri 'none'\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n" +
        element("title", "Rapport de mesure : " + number(results.size()) + " scan(s)") + "\n" +
        element("style", PAGE_STYLE) + "\n";
    const Html body = "\n" + pageHeader(results, tablePresent, runs) + failuresSection(results) +
                      distributionsSection(results, values, columns) +
                      cardsSection(results, layout, values, columns);
    return ("<!DOCTYPE html>\n" +
            element("html", {{"lang", "fr"}},
                    "\n" + element("head", head) + "\n" + element("body", body) + "\n") +
            "\n")
        .str();
}

bool writeResultsPage(const fs::path& outFolder, const std::vector<ScanResult>& results,
                      const FolderLayout& layout, const std::vector<RunTimes>& runs) {
    std::error_code error;
    const bool tablePresent = fs::is_regular_file(outFolder / TABLE_FILE, error);
    return writeFileAtomically(outFolder / RESULTS_PAGE_FILE,
                               resultsPage(results, layout, tablePresent, runs));
}
