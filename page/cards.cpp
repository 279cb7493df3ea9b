#include "page/cards.h"

#include "page/french_text.h"

namespace plantscan::page {

std::string cardId(std::size_t scan) { return "scan-" + std::to_string(scan); }

Html number(std::size_t value) { return Html::text(std::to_string(value)); }

Html folderLink(const stored::ScanResult& result, const std::string& file, const Html& content) {
    return element("a", {{"href", folderFileUrl(result.scanName, file)}}, content);
}

Html scanCard(const stored::ScanResult& result, const stored::FolderLayout& layout,
              std::size_t scan, const Html& details) {
    const std::string failed = result.measured() ? "" : " rate";
    Html picture;
    if (result.holds(stored::THUMBNAIL_FILE)) {
        picture = element(
            "a", {{"class", "vignette"}, {"href", folderFileUrl(result.scanName, layout.overview)}},
            voidElement("img", {{"src", folderFileUrl(result.scanName, stored::THUMBNAIL_FILE)},
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
    if (stored::statesOtherResolution(result, layout)) {
        text += element("p", {{"class", "resolution"}},
                        Html::text(resolutionWords(*result.statedResolution,
                                                   stored::usedDpi(result, layout)))) +
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
    for (const stored::ProgramFile& file : layout.programFiles) addLink(file.name, file.shows);
    for (const char* file : {stored::CONSOLE_FILE, stored::ERRORS_FILE}) addLink(file, file);
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

}  // namespace plantscan::page
