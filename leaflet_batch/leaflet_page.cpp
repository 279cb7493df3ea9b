#include "leaflet_batch/leaflet_kind.h"
#include "leaflet_batch/leaflet_report.h"
#include "page/cards.h"
#include "page/french_text.h"
#include "page/html.h"
#include "page/strip_plot.h"

#include <array>

namespace plantscan::leaflet_batch {

namespace {

// The values shown over all leaflets, each a cell of a leaflet's row.
struct ShownValue {
    std::size_t cell;
    const char* name;
    const char* unit;
};

const std::array<ShownValue, 3> SHOWN_VALUES{{
    {AREA_CELL, "Aire", "mm²"},
    {LENGTH_CELL, "Longueur", "mm"},
    {WIDTH_CELL, "Largeur", "mm"},
}};

std::string leafletId(std::size_t scan, std::size_t n) {
    return page::cardId(scan) + "-petale-" + std::to_string(n);
}

// Every leaflet of the batch, scan after scan.
struct LeafletRef {
    std::size_t scan;
    std::size_t n;
};

std::vector<LeafletRef> allLeaflets(const std::vector<stored::ScanResult>& results) {
    std::vector<LeafletRef> leaflets;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].measured()) continue;
        for (std::size_t n = 0; n < results[i].cells->size() / LEAFLET_CELLS; ++n)
            leaflets.push_back({i, n});
    }
    return leaflets;
}

std::vector<page::ValueSeries> valueSeriesOf(const std::vector<stored::ScanResult>& results,
                                             const std::vector<LeafletRef>& leaflets) {
    std::vector<page::ValueSeries> series;
    for (const ShownValue& value : SHOWN_VALUES) {
        series.push_back(
            page::valueSeries(value.name, value.unit, leaflets.size(), [&](std::size_t k) {
                const LeafletRef leaflet = leaflets[k];
                const stored::ScanResult& result = results[leaflet.scan];
                return page::Dot{
                    page::parseCell((*result.cells)[leaflet.n * LEAFLET_CELLS + value.cell]),
                    result.scanName + ", pétale " + std::to_string(leaflet.n),
                    "#" + leafletId(leaflet.scan, leaflet.n)};
            }));
    }
    return series;
}

// Each crop's thumbnail leading to the crop, its number, area, length and width beneath; a
// leaflet with a value that stands out, or unlike a leaflet, is framed in red, the reasons on
// hover.
page::Html contactSheet(const stored::ScanResult& result, const stored::FolderLayout& layout,
                        std::size_t scan, const std::vector<page::ValueSeries>& series,
                        std::size_t& item) {
    page::Html figures;
    const std::size_t count = result.cells->size() / LEAFLET_CELLS;
    for (std::size_t n = 0; n < count; ++n, ++item) {
        const std::string crop = layout.pieceFile(result.scanName, static_cast<int>(n));
        const std::string thumbnail = stored::pieceThumbnailFile(static_cast<int>(n));
        std::string reasons;
        for (std::size_t v = 0; v < series.size(); ++v) {
            if (!series[v].marked[item]) continue;
            reasons += (reasons.empty() ? "" : " ; ") + series[v].name + " — " +
                       page::markTitle(series[v], item);
        }
        const page::Html picture =
            result.holds(thumbnail)
                ? page::voidElement(
                      "img", {{"src", page::folderFileUrl(result.scanName, thumbnail)},
                              {"alt", "pétale " + std::to_string(n) + " de " + result.scanName}})
                : page::Html::text("pétale " + std::to_string(n));
        const auto cell = [&](std::size_t value) {
            return (*result.cells)[n * LEAFLET_CELLS + value];
        };
        // Two short lines, so the sheet keeps several crops a row.
        page::Html caption =
            page::Html::text(std::to_string(n) + " · " + cell(AREA_CELL) + " mm²") +
            page::voidElement("br", {}) +
            page::Html::text(cell(LENGTH_CELL) + " × " + cell(WIDTH_CELL) + " mm");
        const std::string unlike = unlikeALeaflet(result, n);
        if (!unlike.empty()) {
            caption += page::voidElement("br", {}) +
                       page::element("span", {{"class", "marque"}}, page::Html::text(unlike));
            reasons += (reasons.empty() ? "" : " ; ") + unlike;
        }
        std::vector<page::Attribute> attributes{{"id", leafletId(scan, n)}};
        if (!reasons.empty()) {
            attributes.push_back({"class", "marque"});
            attributes.push_back({"title", reasons});
        }
        figures += page::element("figure", attributes,
                                 page::folderLink(result, crop, picture) +
                                     page::element("figcaption", caption)) +
                   "\n";
    }
    return page::element("div", {{"class", "planche"}}, "\n" + figures) + "\n";
}

}  // namespace

std::string leafletResultsPage(const std::vector<stored::ScanResult>& results,
                               const stored::FolderLayout& layout,
                               const page::PageContext& context) {
    const std::vector<LeafletRef> leaflets = allLeaflets(results);
    const std::vector<page::ValueSeries> series = valueSeriesOf(results, leaflets);
    std::vector<page::Html> cards;
    std::size_t item = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const stored::ScanResult& result = results[i];
        page::Html details;
        if (result.measured()) {
            const std::size_t count = result.cells->size() / LEAFLET_CELLS;
            const std::string dpi =
                " à " + page::frenchNumber(stored::usedDpi(result, layout).value, 6) + " dpi";
            details =
                count == 0
                    ? page::element("p", {{"class", "petales aucun"}},
                                    page::Html::text("Aucun pétale trouvé" + dpi + "."))
                    : page::element("p", {{"class", "petales"}},
                                    page::element("strong", page::number(count) + " pétale(s)") +
                                        page::Html::text(", mesuré(s)" + dpi + " :"));
            details += "\n";
            const std::string unlike = noLeafScanWords(result);
            if (!unlike.empty()) {
                details += page::element("p", {{"class", "petales aucun"}},
                                         page::Html::text("Attention : " + unlike + ".")) +
                           "\n";
            }
            if (count > 0) details += contactSheet(result, layout, i, series, item);
        }
        cards.push_back(page::scanCard(result, layout, i, details));
    }
    return page::resultsPage(
        results, layout, context, "Rapport de découpe des pétales", "pétales",
        page::distributionsSection(
            series,
            "Répartition des valeurs des pétales (" + std::to_string(leaflets.size()) + " pétales)",
            "pétale") +
            page::cardsSection(cards));
}

}  // namespace plantscan::leaflet_batch
