#include "leaflet_batch/leaflet_kind.h"
#include "leaflet_batch/leaflet_report.h"
#include "page/cards.h"
#include "page/french_text.h"
#include "page/html.h"
#include "page/strip_plot.h"

#include <array>

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
    return cardId(scan) + "-petale-" + std::to_string(n);
}

// Every leaflet of the batch, scan after scan.
struct LeafletRef {
    std::size_t scan;
    std::size_t n;
};

std::vector<LeafletRef> allLeaflets(const std::vector<ScanResult>& results) {
    std::vector<LeafletRef> leaflets;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].measured()) continue;
        for (std::size_t n = 0; n < results[i].cells->size() / LEAFLET_CELLS; ++n)
            leaflets.push_back({i, n});
    }
    return leaflets;
}

std::vector<ValueSeries> valueSeriesOf(const std::vector<ScanResult>& results,
                                       const std::vector<LeafletRef>& leaflets) {
    std::vector<ValueSeries> series;
    for (const ShownValue& value : SHOWN_VALUES) {
        std::vector<std::optional<double>> numbers;
        std::vector<std::string> labels;
        std::vector<std::string> targets;
        for (const LeafletRef& leaflet : leaflets) {
            const ScanResult& result = results[leaflet.scan];
            numbers.push_back(parseCell((*result.cells)[leaflet.n * LEAFLET_CELLS + value.cell]));
            labels.push_back(result.scanName + ", pétale " + std::to_string(leaflet.n));
            targets.push_back("#" + leafletId(leaflet.scan, leaflet.n));
        }
        series.push_back(valueSeries(value.name, value.unit, numbers, labels, targets));
    }
    return series;
}

// Each crop's thumbnail leading to the crop, its number and area beneath; a leaflet with a
// value that stands out is framed in red, the reasons on hover.
Html contactSheet(const ScanResult& result, const FolderLayout& layout, std::size_t scan,
                  const std::vector<ValueSeries>& series, std::size_t& item) {
    Html figures;
    const std::size_t count = result.cells->size() / LEAFLET_CELLS;
    for (std::size_t n = 0; n < count; ++n, ++item) {
        const std::string crop = pieceFile(layout, result.scanName, static_cast<int>(n));
        const std::string thumbnail = pieceThumbnailFile(static_cast<int>(n));
        std::string reasons;
        for (std::size_t v = 0; v < series.size(); ++v) {
            if (!series[v].marked[item]) continue;
            reasons += (reasons.empty() ? "" : " ; ") + series[v].name + " — " +
                       markTitle(series[v], item);
        }
        const Html picture =
            result.holds(thumbnail)
                ? voidElement("img",
                              {{"src", folderFileUrl(result.scanName, thumbnail)},
                               {"alt", "pétale " + std::to_string(n) + " de " + result.scanName}})
                : Html::text("pétale " + std::to_string(n));
        const Html caption = Html::text(std::to_string(n) + " · " +
                                        (*result.cells)[n * LEAFLET_CELLS + AREA_CELL] + " mm²");
        std::vector<Attribute> attributes{{"id", leafletId(scan, n)}};
        if (!reasons.empty()) {
            attributes.push_back({"class", "marque"});
            attributes.push_back({"title", reasons});
        }
        figures += element("figure", attributes,
                           folderLink(result, crop, picture) + element("figcaption", caption)) +
                   "\n";
    }
    return element("div", {{"class", "planche"}}, "\n" + figures) + "\n";
}

}  // namespace

std::string leafletResultsPage(const std::vector<ScanResult>& results, const FolderLayout& layout,
                               const PageContext& context) {
    const std::vector<LeafletRef> leaflets = allLeaflets(results);
    const std::vector<ValueSeries> series = valueSeriesOf(results, leaflets);
    std::vector<Html> cards;
    std::size_t item = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const ScanResult& result = results[i];
        Html details;
        if (result.measured()) {
            const std::size_t count = result.cells->size() / LEAFLET_CELLS;
            const std::string dpi = " à " + frenchNumber(usedDpi(result, layout).value, 6) + " dpi";
            details = count == 0 ? element("p", {{"class", "petales aucun"}},
                                           Html::text("Aucun pétale trouvé" + dpi + "."))
                                 : element("p", {{"class", "petales"}},
                                           element("strong", number(count) + " pétale(s)") +
                                               Html::text(", mesuré(s)" + dpi + " :"));
            details += "\n";
            if (count > 0) details += contactSheet(result, layout, i, series, item);
        }
        cards.push_back(scanCard(result, layout, i, details));
    }
    return resultsPage(results, layout, context, "Rapport de découpe des pétales", "pétales",
                       distributionsSection(series,
                                            "Répartition des valeurs des pétales (" +
                                                std::to_string(leaflets.size()) + " pétales)",
                                            "pétale") +
                           cardsSection(cards));
}
