#include "page/cards.h"
#include "page/french_text.h"
#include "page/html.h"
#include "page/strip_plot.h"
#include "section_batch/section_kind.h"
#include "section_measure/report_layout.h"

#include <array>

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

// Per shown value, the parsed cell of each scan (a dot per measured scan, leading to its card).
std::vector<ValueSeries> valueSeriesOf(const std::vector<ScanResult>& results,
                                       const std::vector<ShownValue>& values) {
    std::vector<ValueSeries> series;
    for (const ShownValue& value : values) {
        std::vector<std::optional<double>> numbers;
        std::vector<std::string> labels;
        std::vector<std::string> targets;
        for (std::size_t i = 0; i < results.size(); ++i) {
            const ScanResult& result = results[i];
            numbers.push_back(result.measured() ? parseCell((*result.cells)[value.cell])
                                                : std::nullopt);
            labels.push_back(result.scanName);
            targets.push_back("#" + cardId(i));
        }
        series.push_back(valueSeries(value.name, "mm", numbers, labels, targets));
    }
    return series;
}

// A table cell, or a span, with its value as written in the table.
Html valueElement(const char* tag, const ScanResult& result, const ShownValue& value,
                  const ValueSeries& series, std::size_t scan) {
    const Html text = Html::text((*result.cells)[value.cell]);
    if (!series.marked[scan]) return element(tag, text);
    return element(tag, {{"class", "marque"}, {"title", markTitle(series, scan)}}, text);
}

Html valuesTable(const ScanResult& result, const std::vector<ShownValue>& values,
                 const std::vector<ValueSeries>& series, std::size_t scan) {
    Html main;
    Html rows;
    for (std::size_t v = 0; v < values.size();) {
        const ShownValue& value = values[v];
        if (value.single) {
            if (v > 0) main += " · ";
            main += element("span", {{"class", "paire"}},
                            Html::text(value.label) + " " +
                                valueElement("span", result, value, series[v], scan));
            ++v;
            continue;
        }
        Html row = element("th", Html::text(value.label));
        for (; v < values.size() && values[v].label == value.label; ++v) {
            row += valueElement("td", result, values[v], series[v], scan);
        }
        rows += element("tr", row) + "\n";
    }
    Html numbers = element("th", "(mm)");
    for (int k = 1; k <= LOBE_COUNT; ++k) numbers += element("th", number(k));
    return element("p", {{"class", "principales"}}, main + " mm") + "\n" +
           element("table", {{"class", "valeurs"}}, "\n" + element("tr", numbers) + "\n" + rows) +
           "\n";
}

}  // namespace

std::string sectionResultsPage(const std::vector<ScanResult>& results, const FolderLayout& layout,
                               const PageContext& context) {
    const std::vector<ShownValue> values = shownValues();
    const std::vector<ValueSeries> series = valueSeriesOf(results, values);
    std::vector<Html> cards;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Html details =
            results[i].measured() ? valuesTable(results[i], values, series, i) : Html();
        cards.push_back(scanCard(results[i], layout, i, details));
    }
    return resultsPage(results, layout, context, "Rapport de mesure des sections", "scans",
                       distributionsSection(
                           series, "Répartition des valeurs principales (scans mesurés)", "scan") +
                           cardsSection(cards));
}
