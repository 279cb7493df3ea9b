#include "page/cards.h"
#include "page/french_text.h"
#include "page/html.h"
#include "page/strip_plot.h"
#include "section_batch/section_kind.h"
#include "section_measure/report_layout.h"

#include <array>

namespace plantscan::section_batch {

namespace {

// The report's lines the page shows, in the order shown: single values first, among a card's
// main values, then the lines of one value per corner or hollow, as rows of a small table.
struct ShownLine {
    section::ReportLineIndex line;
    const char* name;   // in the distributions
    const char* label;  // in a card
};

const std::array<ShownLine, 6> SHOWN_LINES{{
    {section::SECTION_WIDTH, "Largeur primocanne", "Largeur"},
    {section::CIRCUMSCRIBED_DIAMETER, "Diamètre du cercle circonscrit", "Ø circonscrit"},
    {section::INSCRIBED_DIAMETER, "Diamètre du cercle inscrit", "Ø inscrit"},
    {section::ANGLE_RADII, "Rayon de courbure de l'angle", "Rayon angle"},
    {section::HOLLOW_RADII, "Rayon de courbure du creux", "Rayon creux"},
    {section::HOLLOW_DEPTHS, "Profondeur du creux", "Profondeur"},
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
        const int count = section::REPORT_LINES[shown.line].values;
        for (int k = 0; k < count; ++k) {
            const std::string name =
                count == 1 ? std::string(shown.name) : shown.name + (" " + std::to_string(k + 1));
            values.push_back({static_cast<std::size_t>(section::firstReportCell(shown.line) + k),
                              name, shown.label, count == 1});
        }
    }
    return values;
}

// Per shown value, the parsed cell of each scan (a dot per measured scan, leading to its card).
std::vector<page::ValueSeries> valueSeriesOf(const std::vector<stored::ScanResult>& results,
                                             const std::vector<ShownValue>& values) {
    std::vector<page::ValueSeries> series;
    for (const ShownValue& value : values) {
        series.push_back(page::valueSeries(value.name, "mm", results.size(), [&](std::size_t i) {
            const stored::ScanResult& result = results[i];
            return page::Dot{result.measured() ? page::parseCell((*result.cells)[value.cell])
                                               : std::nullopt,
                             result.scanName, "#" + page::cardId(i)};
        }));
    }
    return series;
}

// A table cell, or a span, with its value as written in the table.
page::Html valueElement(const char* tag, const stored::ScanResult& result, const ShownValue& value,
                        const page::ValueSeries& series, std::size_t scan) {
    const page::Html text = page::Html::text((*result.cells)[value.cell]);
    if (!series.marked[scan]) return page::element(tag, text);
    return page::element(tag, {{"class", "marque"}, {"title", page::markTitle(series, scan)}},
                         text);
}

page::Html valuesTable(const stored::ScanResult& result, const std::vector<ShownValue>& values,
                       const std::vector<page::ValueSeries>& series, std::size_t scan) {
    page::Html main;
    page::Html rows;
    for (std::size_t v = 0; v < values.size();) {
        const ShownValue& value = values[v];
        if (value.single) {
            if (v > 0) main += " · ";
            main += page::element("span", {{"class", "paire"}},
                                  page::Html::text(value.label) + " " +
                                      valueElement("span", result, value, series[v], scan));
            ++v;
            continue;
        }
        page::Html row = page::element("th", page::Html::text(value.label));
        for (; v < values.size() && values[v].label == value.label; ++v) {
            row += valueElement("td", result, values[v], series[v], scan);
        }
        rows += page::element("tr", row) + "\n";
    }
    page::Html numbers = page::element("th", "(mm)");
    for (int k = 1; k <= section::LOBE_COUNT; ++k) numbers += page::element("th", page::number(k));
    return page::element("p", {{"class", "principales"}}, main + " mm") + "\n" +
           page::element("table", {{"class", "valeurs"}},
                         "\n" + page::element("tr", numbers) + "\n" + rows) +
           "\n";
}

}  // namespace

std::string sectionResultsPage(const std::vector<stored::ScanResult>& results,
                               const stored::FolderLayout& layout,
                               const page::PageContext& context) {
    const std::vector<ShownValue> values = shownValues();
    const std::vector<page::ValueSeries> series = valueSeriesOf(results, values);
    std::vector<page::Html> cards;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const page::Html details =
            results[i].measured() ? valuesTable(results[i], values, series, i) : page::Html();
        cards.push_back(page::scanCard(results[i], layout, i, details));
    }
    return page::resultsPage(
        results, layout, context, "Rapport de mesure des sections", "scans",
        page::distributionsSection(series, "Répartition des valeurs principales (scans mesurés)",
                                   "scan") +
            page::cardsSection(cards));
}

}  // namespace plantscan::section_batch
