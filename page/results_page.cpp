#include "page/results_page.h"

#include "page/cards.h"
#include "page/french_text.h"
#include "page/html.h"
#include "page/statistics.h"
#include "page/style.h"
#include "stored/atomic_file.h"
#include "stored/utc_time.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <system_error>

namespace plantscan::page {

namespace fs = std::filesystem;

namespace {

std::optional<std::int64_t> runSeconds(const RunTimes& run) {
    const std::optional<std::int64_t> start = stored::parseUtcTime(run.start);
    const std::optional<std::int64_t> end = stored::parseUtcTime(run.end);
    if (!start || !end || *end < *start) return std::nullopt;
    return *end - *start;
}

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

Html pageHeader(const std::vector<stored::ScanResult>& results, const stored::FolderLayout& layout,
                const PageContext& context, const std::string& title, const std::string& items) {
    std::map<std::string, int> failures;
    std::size_t measured = 0;
    for (const stored::ScanResult& result : results) {
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

Html failuresSection(const std::vector<stored::ScanResult>& results,
                     const stored::FolderLayout& layout) {
    Html articles;
    std::size_t count = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const stored::ScanResult& result = results[i];
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
        if (result.holds(stored::ERRORS_FILE)) {
            article +=
                element("p", {{"class", "liens"}},
                        folderLink(result, stored::ERRORS_FILE, Html::text(stored::ERRORS_FILE)) +
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

}  // namespace

std::string resultsPage(const std::vector<stored::ScanResult>& results,
                        const stored::FolderLayout& layout, const PageContext& context,
                        const std::string& title, const std::string& items, const Html& sections) {
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
    return stored::writeFileAtomically(outFolder / RESULTS_PAGE_FILE, page);
}

}  // namespace plantscan::page
