#include "section_batch/results_page.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The values a scan's card shows, as cells of its table row.
struct MainValue {
    int cell;
    const char* name;   // in the distributions
    const char* label;  // in a card
};

const std::array<MainValue, 18> MAIN_VALUES{{
    {25, "Largeur primocanne", "Largeur"},
    {26, "Diamètre du cercle circonscrit", "Ø circonscrit"},
    {27, "Diamètre du cercle inscrit", "Ø inscrit"},
    {0, "Rayon de courbure de l'angle 1", "Rayon angle"},
    {1, "Rayon de courbure de l'angle 2", "Rayon angle"},
    {2, "Rayon de courbure de l'angle 3", "Rayon angle"},
    {3, "Rayon de courbure de l'angle 4", "Rayon angle"},
    {4, "Rayon de courbure de l'angle 5", "Rayon angle"},
    {5, "Rayon de courbure du creux 1", "Rayon creux"},
    {6, "Rayon de courbure du creux 2", "Rayon creux"},
    {7, "Rayon de courbure du creux 3", "Rayon creux"},
    {8, "Rayon de courbure du creux 4", "Rayon creux"},
    {9, "Rayon de courbure du creux 5", "Rayon creux"},
    {10, "Profondeur du creux 1", "Profondeur"},
    {11, "Profondeur du creux 2", "Profondeur"},
    {12, "Profondeur du creux 3", "Profondeur"},
    {13, "Profondeur du creux 4", "Profondeur"},
    {14, "Profondeur du creux 5", "Profondeur"},
}};

// What a measurement leaves in a scan's folder, in the order the page links them.
struct LinkedFile {
    const char* file;
    const char* label;
};

const std::array<LinkedFile, 12> LINKED_FILES{{
    {"res.jpg", "angles et creux"},
    {"rayonsCourbureAngles.jpg", "rayons des angles"},
    {"rayonsCourbureCreux.jpg", "rayons des creux"},
    {"cercleCirconscrit.jpg", "cercle circonscrit"},
    {"cercleInscrit.jpg", "cercle inscrit"},
    {"grabcut.jpg", "grabCut"},
    {"bw.jpg", "seuil"},
    {"bw2.jpg", "seuil inversé"},
    {"gray.bmp", "gris"},
    {"mesures.csv", "mesures.csv"},
    {"console.txt", "console.txt"},
    {"erreurs.txt", "erreurs.txt"},
}};

constexpr double OUTLIER_LIMIT = 3.5;
constexpr std::size_t FEWEST_FOR_MARKS = 5;
constexpr int ERROR_LINES_SHOWN = 5;
constexpr std::size_t ERROR_LINE_BYTES = 300;

struct Spread {
    double median;
    double deviation;  // robust standard deviation
};

double medianOf(std::vector<double> values) {
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(half), values.end());
    const double upper = values[half];
    if (values.size() % 2 == 1) return upper;
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<long>(half));
    return lower + (upper - lower) / 2;
}

std::optional<Spread> robustSpread(const std::vector<double>& values) {
    if (values.size() < FEWEST_FOR_MARKS) return std::nullopt;
    const double median = medianOf(values);
    std::vector<double> distances;
    for (const double v : values) distances.push_back(std::fabs(v - median));
    double deviation = 1.4826 * medianOf(distances);
    if (deviation == 0) {
        // Over half the values equal: the mean distance (to the same median) still sees the rest.
        double sum = 0;
        for (const double d : distances) sum += d;
        deviation = 1.2533 * sum / static_cast<double>(distances.size());
    }
    if (!(deviation > 0) || !std::isfinite(deviation)) return std::nullopt;
    return Spread{median, deviation};
}

bool standsOut(double value, const Spread& spread) {
    return std::fabs(value - spread.median) > OUTLIER_LIMIT * spread.deviation;
}

// Decimal comma, as in the table.
std::string frenchNumber(double value, int digits = 4) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    std::string result = text;
    std::replace(result.begin(), result.end(), '.', ',');
    return result == "-0" ? "0" : result;
}

// SVG wants a decimal point.
std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string percentEncode(const std::string& text) {
    static const char* const hex = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
            byte == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 15];
        }
    }
    return encoded;
}

// A relative link into a scan's folder, ready for an attribute.
std::string scanHref(const std::string& scanName, const std::string& file) {
    return escapeHtml(percentEncode(scanName) + "/" + file);
}

bool holds(const ScanFiles& files, const std::string& name) {
    return std::find(files.present.begin(), files.present.end(), name) != files.present.end();
}

std::string statusWords(const ScanResult& result) {
    if (!result.exitStatus) return "pas de statut (mesure interrompue ou en cours)";
    const int status = *result.exitStatus;
    if (status == 0) {
        return result.measured() ? "mesure complète"
                                 : "statut 0 mais « mesures.csv » absent ou incomplet";
    }
    std::string words;
    switch (status) {
        case 1: words = "pas de section mesurable"; break;
        case 2: words = "image absente ou illisible"; break;
        case 3: words = "un fichier n'a pas pu être écrit"; break;
        case 4: words = "erreur d'OpenCV ou mémoire épuisée"; break;
        case 127: words = "section_measure n'a pas pu être lancé"; break;
        default:
            words = status > 128 ? "arrêté par le signal " + std::to_string(status - 128)
                                 : "statut inattendu";
    }
    return words + " (statut " + std::to_string(status) + ")";
}

// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SSZ"; nothing for anything else.
std::optional<std::int64_t> parseUtc(const std::string& text) {
    int year, month, day, hour, minute, second;
    char end = 0;
    if (text.size() != 20 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                    &second, &end) != 7 ||
        end != 'Z' || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60) {
        return std::nullopt;
    }
    // Days from the civil date (proleptic Gregorian calendar), after H. Hinnant.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

// "08/12/2026 06:30:05" from "2026-12-08T06:30:05Z"; other texts as they are.
std::string frenchTime(const std::string& iso) {
    if (!parseUtc(iso)) return iso.empty() ? "?" : iso;
    return iso.substr(8, 2) + "/" + iso.substr(5, 2) + "/" + iso.substr(0, 4) + " " +
           iso.substr(11, 8);
}

std::string frenchDuration(std::int64_t seconds) {
    if (seconds < 60) return std::to_string(seconds) + " s";
    const std::int64_t minutes = seconds / 60;
    if (minutes < 60)
        return std::to_string(minutes) + " min " + std::to_string(seconds % 60) + " s";
    const std::int64_t rest = minutes % 60;
    return std::to_string(minutes / 60) + " h " + (rest < 10 ? "0" : "") + std::to_string(rest) +
           " min";
}

std::optional<std::int64_t> runSeconds(const RunTimes& run) {
    const std::optional<std::int64_t> start = parseUtc(run.start);
    const std::optional<std::int64_t> end = parseUtc(run.end);
    if (!start || !end || *end < *start) return std::nullopt;
    return *end - *start;
}

const char* const PAGE_STYLE = R"(
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
table.repartition td { padding: 0 8px 0 0; vertical-align: middle; font-size: .9em; }
table.repartition td.nombre { text-align: right; font-variant-numeric: tabular-nums; }
svg.bande { display: block; }
)";

// Per main value: the parsed cell of each scan, the batch's spread and which scans stand out.
struct ValueColumn {
    std::vector<std::optional<double>> numbers;
    std::optional<Spread> spread;
    std::vector<bool> marked;
};

std::vector<ValueColumn> valueColumns(const std::vector<ScanResult>& results) {
    std::vector<ValueColumn> columns;
    for (const MainValue& value : MAIN_VALUES) {
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

std::string runsParagraph(const std::vector<RunTimes>& runs) {
    if (runs.empty()) return "";
    std::vector<RunTimes> sorted = runs;
    std::sort(sorted.begin(), sorted.end(),
              [](const RunTimes& a, const RunTimes& b) { return a.start < b.start; });
    std::int64_t total = 0;
    bool allKnown = true;
    std::string items;
    for (const RunTimes& run : sorted) {
        const std::optional<std::int64_t> seconds = runSeconds(run);
        if (seconds)
            total += *seconds;
        else
            allKnown = false;
        items += "<li>" + escapeHtml(frenchTime(run.start)) + " → " +
                 escapeHtml(frenchTime(run.end)) +
                 (seconds ? " (" + frenchDuration(*seconds) + ")" : std::string()) + "</li>\n";
    }
    std::string html = "<p class=\"lancements\">" + std::to_string(sorted.size()) +
                       " lancement(s), du " + escapeHtml(frenchTime(sorted.front().start)) +
                       " au " + escapeHtml(frenchTime(sorted.back().end)) + " (UTC)";
    if (allKnown) html += ", durée cumulée " + frenchDuration(total);
    return html + ".</p>\n<details><summary>Chaque lancement</summary>\n<ul>\n" + items +
           "</ul>\n</details>\n";
}

std::string pageHeader(const std::vector<ScanResult>& results, const BatchLayout& layout,
                       const std::vector<RunTimes>& runs) {
    std::map<std::string, int> failures;
    std::size_t measured = 0;
    for (const ScanResult& result : results) {
        if (result.measured())
            ++measured;
        else
            ++failures[statusWords(result)];
    }
    std::string html = "<header>\n<h1>Rapport de mesure des sections</h1>\n";
    html += "<p class=\"bilan\"><strong>" + std::to_string(results.size()) +
            " scan(s)</strong> : " + std::to_string(measured) + " mesuré(s), " +
            std::to_string(results.size() - measured) + " en échec.</p>\n";
    if (!failures.empty()) {
        html += "<ul class=\"statuts\">\n";
        for (const auto& [words, count] : failures) {
            html += "<li>" + escapeHtml(words) + " : " + std::to_string(count) + "</li>\n";
        }
        html += "</ul>\n";
    }
    html += runsParagraph(runs);
    const std::string table = TABLE_FILE;
    html += layout.tablePresent
                ? "<p>Tableau de toutes les valeurs : <a href=\"" + table + "\">" + table +
                      "</a>, dans ce dossier.</p>\n"
                : "<p>Tableau : " + table +
                      " pas encore écrit (lancez section_batch --merge sur ce dossier).</p>\n";
    return html +
           "<p>Une valeur <span class=\"marque\">marquée</span> s'écarte de la médiane de la "
           "série de plus de 3,5 écarts robustes (1,4826 × l'écart absolu médian), calculés sur "
           "les scans mesurés ; le détail s'affiche au survol. Rien n'est marqué avec moins de "
           "5 scans mesurés.</p>\n</header>\n";
}

std::string failuresSection(const std::vector<ScanResult>& results, const BatchLayout& layout) {
    std::string articles;
    int count = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const ScanResult& result = results[i];
        if (result.measured()) continue;
        ++count;
        const ScanFiles& found = layout.scans[i];
        articles += "<article class=\"scan echec\">\n<h3><a href=\"#scan-" + std::to_string(i) +
                    "\">" + escapeHtml(result.scanName) + "</a></h3>\n";
        articles += "<p class=\"statut rate\">" + escapeHtml(statusWords(result)) + "</p>\n";
        if (!found.firstErrorLines.empty()) {
            articles += "<pre>" + escapeHtml(found.firstErrorLines) + "</pre>\n";
        }
        if (holds(found, ERRORS_FILE)) {
            articles += "<p class=\"liens\"><a href=\"" + scanHref(result.scanName, ERRORS_FILE) +
                        "\">erreurs.txt</a>" + (found.firstErrorLines.empty() ? " (vide)" : "") +
                        "</p>\n";
        }
        articles += "</article>\n";
    }
    if (count == 0) return "";
    return "<section id=\"echecs\">\n<h2>Échecs (" + std::to_string(count) + ")</h2>\n" + articles +
           "</section>\n";
}

std::string markTitle(const Spread& spread, double number) {
    const double distance = std::fabs(number - spread.median);
    return "Hors série : " + frenchNumber(number) + " mm est à " + frenchNumber(distance, 3) +
           " mm de la médiane (" + frenchNumber(spread.median) + " mm), soit " +
           frenchNumber(distance / spread.deviation, 3) +
           " écarts robustes (limite 3,5 ; écart robuste " + frenchNumber(spread.deviation, 3) +
           " mm)";
}

// Each measured scan as a dot. The axis spans the unmarked values and the band within 3.5
// robust deviations (shaded, median as a line); marked values lie beyond it, so they are drawn
// in red in the margins, left or right, where one far value cannot squeeze the others together.
std::string stripPlot(const ValueColumn& column, const std::vector<ScanResult>& results) {
    constexpr double WIDTH = 320, HEIGHT = 22, MARGIN = 14;
    double low = INFINITY, high = -INFINITY;
    const auto include = [&](double number) {
        low = std::min(low, number);
        high = std::max(high, number);
    };
    for (std::size_t i = 0; i < column.numbers.size(); ++i) {
        if (column.numbers[i] && !column.marked[i]) include(*column.numbers[i]);
    }
    if (column.spread) {
        include(column.spread->median - OUTLIER_LIMIT * column.spread->deviation);
        include(column.spread->median + OUTLIER_LIMIT * column.spread->deviation);
    }
    std::string svg =
        "<svg class=\"bande\" width=\"320\" height=\"22\" viewBox=\"0 0 320 22\" "
        "xmlns=\"http://www.w3.org/2000/svg\">"
        "<line x1=\"0\" y1=\"11\" x2=\"320\" y2=\"11\" stroke=\"#ddd\"/>";
    if (low > high) return svg + "</svg>";
    if (high - low <= 1e-12 * std::max(1.0, std::fabs(high))) {
        low -= 1;
        high += 1;
    }
    const auto x = [&](double number) {
        if (number < low) return coordinate(MARGIN / 2);
        if (number > high) return coordinate(WIDTH - MARGIN / 2);
        return coordinate(MARGIN + (number - low) / (high - low) * (WIDTH - 2 * MARGIN));
    };
    if (const std::optional<Spread>& spread = column.spread) {
        svg += "<rect x=\"" + coordinate(MARGIN) + "\" y=\"2\" width=\"" +
               coordinate(WIDTH - 2 * MARGIN) + "\" height=\"18\" fill=\"#e3eefa\"/><line x1=\"" +
               x(spread->median) + "\" y1=\"1\" x2=\"" + x(spread->median) +
               "\" y2=\"21\" stroke=\"#7a9cc6\"/>";
    }
    std::string marks;
    for (std::size_t i = 0; i < column.numbers.size(); ++i) {
        if (!column.numbers[i]) continue;
        // A fixed small jitter, so that equal values stay countable.
        const std::string y =
            coordinate(HEIGHT / 2 + static_cast<double>(static_cast<int>(i * 7 % 9) - 4));
        const std::string at = "cx=\"" + x(*column.numbers[i]) + "\" cy=\"" + y + "\"";
        if (column.marked[i]) {
            marks += "<a href=\"#scan-" + std::to_string(i) + "\"><circle class=\"marque\" " + at +
                     " r=\"4.5\" fill=\"#d62728\"><title>" + escapeHtml(results[i].scanName) +
                     " : " + frenchNumber(*column.numbers[i]) + "</title></circle></a>";
        } else {
            svg += "<circle " + at + " r=\"2.5\" fill=\"#1f5fa8\" fill-opacity=\"0.45\"/>";
        }
    }
    return svg + marks + "</svg>";  // marked dots last, on top
}

std::string distributionsSection(const std::vector<ScanResult>& results,
                                 const std::vector<ValueColumn>& columns) {
    std::string html =
        "<section id=\"repartition\">\n<h2>Répartition des valeurs principales "
        "(scans mesurés)</h2>\n<p class=\"liens\">Un point par scan ; en bleu clair, l'intervalle "
        "à moins de 3,5 écarts robustes de la médiane (trait vertical) ; en rouge, aux bords, les "
        "valeurs marquées, qui sont au-delà (le nom s'affiche au survol, un clic mène au "
        "scan).</p>\n<table class=\"repartition\">\n";
    for (std::size_t v = 0; v < MAIN_VALUES.size(); ++v) {
        const ValueColumn& column = columns[v];
        const long marks = std::count(column.marked.begin(), column.marked.end(), true);
        html += "<tr><td>" + escapeHtml(MAIN_VALUES[v].name) + " (mm)</td><td class=\"nombre\">" +
                (column.spread ? "médiane " + frenchNumber(column.spread->median) : std::string()) +
                "</td><td>" + stripPlot(column, results) + "</td><td class=\"nombre\">" +
                (marks > 0 ? std::to_string(marks) + " marquée(s)" : std::string()) +
                "</td></tr>\n";
    }
    return html + "</table>\n</section>\n";
}

// A table cell, or a span, with its value as written in the table.
std::string valueElement(const ScanResult& result, const ValueColumn& column, std::size_t value,
                         std::size_t scan, const std::string& tag) {
    const std::string text = escapeHtml((*result.cells)[MAIN_VALUES[value].cell]);
    if (!column.marked[scan]) return "<" + tag + ">" + text + "</" + tag + ">";
    return "<" + tag + " class=\"marque\" title=\"" +
           escapeHtml(markTitle(*column.spread, *column.numbers[scan])) + "\">" + text + "</" +
           tag + ">";
}

std::string valuesTable(const ScanResult& result, const std::vector<ValueColumn>& columns,
                        std::size_t scan) {
    std::string html = "<p class=\"principales\">";
    for (std::size_t v = 0; v < 3; ++v) {
        html += std::string(v > 0 ? " · " : "") + "<span class=\"paire\">" +
                escapeHtml(MAIN_VALUES[v].label) + " " +
                valueElement(result, columns[v], v, scan, "span") + "</span>";
    }
    html +=
        " mm</p>\n<table class=\"valeurs\">\n<tr><th>(mm)</th><th>1</th><th>2</th><th>3</th>"
        "<th>4</th><th>5</th></tr>\n";
    for (std::size_t first = 3; first < MAIN_VALUES.size(); first += 5) {
        html += "<tr><th>" + escapeHtml(MAIN_VALUES[first].label) + "</th>";
        for (std::size_t v = first; v < first + 5; ++v) {
            html += valueElement(result, columns[v], v, scan, "td");
        }
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

std::string scanCard(const ScanResult& result, const ScanFiles& found,
                     const std::vector<ValueColumn>& columns, std::size_t scan) {
    const std::string name = escapeHtml(result.scanName);
    const std::string failed = result.measured() ? "" : " rate";
    std::string html =
        "<article class=\"scan" + failed + "\" id=\"scan-" + std::to_string(scan) + "\">\n";
    if (holds(found, THUMBNAIL_FILE)) {
        const std::string target = holds(found, "res.jpg") ? "res.jpg" : THUMBNAIL_FILE;
        html += "<a class=\"vignette\" href=\"" + scanHref(result.scanName, target) +
                "\"><img src=\"" + scanHref(result.scanName, THUMBNAIL_FILE) +
                "\" alt=\"res.jpg de " + name + "\"></a>\n";
    } else {
        html += std::string("<div class=\"sans-image\">") +
                (holds(found, "res.jpg") ? "pas de vignette" : "pas d'image") + "</div>\n";
    }
    html += "<div class=\"details\">\n<h3>" + name + "</h3>\n<p class=\"statut" + failed + "\">" +
            escapeHtml(statusWords(result)) + "</p>\n";
    if (result.measured()) html += valuesTable(result, columns, scan);
    std::string links;
    for (const LinkedFile& file : LINKED_FILES) {
        if (!holds(found, file.file)) continue;
        links += std::string(links.empty() ? "" : " · ") + "<a href=\"" +
                 scanHref(result.scanName, file.file) + "\">" + file.label + "</a>";
    }
    if (!links.empty()) html += "<p class=\"liens\">" + links + "</p>\n";
    return html + "</div>\n</article>\n";
}

std::string cardsSection(const std::vector<ScanResult>& results, const BatchLayout& layout,
                         const std::vector<ValueColumn>& columns) {
    std::string html = "<section id=\"scans\">\n<h2>Scans (" + std::to_string(results.size()) +
                       "), dans l'ordre du tableau</h2>\n<div class=\"scans\">\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        html += scanCard(results[i], layout.scans[i], columns, i);
    }
    return html + "</div>\n</section>\n";
}

// At most a few lines, each cut short at a character boundary.
std::string firstLines(const std::string& text) {
    std::string kept;
    std::size_t start = 0;
    for (int line = 0; line < ERROR_LINES_SHOWN && start < text.size(); ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string piece = text.substr(start, end - start);
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
        if (piece.size() > ERROR_LINE_BYTES) {
            std::size_t cut = ERROR_LINE_BYTES;
            while (cut > 0 && (static_cast<unsigned char>(piece[cut]) & 0xC0) == 0x80) --cut;
            piece = piece.substr(0, cut) + "…";
        }
        kept += piece + "\n";
        start = end + 1;
    }
    while (!kept.empty() && (kept.back() == '\n' || kept.back() == ' ')) kept.pop_back();
    return kept;
}

std::string readStart(const fs::path& path, std::size_t bytes) {
    std::ifstream file(path, std::ios::binary);
    std::string text(bytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(bytes));
    text.resize(static_cast<std::size_t>(file.gcount()));
    return text;
}

}  // namespace

std::string escapeHtml(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&#39;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::optional<double> parseCell(const std::string& cell) {
    std::string text = cell;
    std::replace(text.begin(), text.end(), ',', '.');
    double value = 0;
    const char* const end = text.data() + text.size();
    const std::from_chars_result parsed = std::from_chars(text.data(), end, value);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<bool> markOutliers(const std::vector<double>& values) {
    std::vector<bool> marks(values.size(), false);
    if (const std::optional<Spread> spread = robustSpread(values)) {
        for (std::size_t i = 0; i < values.size(); ++i) marks[i] = standsOut(values[i], *spread);
    }
    return marks;
}

BatchLayout readBatchLayout(const fs::path& outFolder, const std::vector<ScanResult>& results) {
    BatchLayout layout;
    std::error_code error;
    layout.tablePresent = fs::is_regular_file(outFolder / TABLE_FILE, error);
    for (const ScanResult& result : results) {
        const fs::path folder = outFolder / result.scanName;
        ScanFiles files;
        if (fs::is_regular_file(folder / THUMBNAIL_FILE, error))
            files.present.push_back(THUMBNAIL_FILE);
        for (const LinkedFile& file : LINKED_FILES) {
            if (fs::is_regular_file(folder / file.file, error)) files.present.push_back(file.file);
        }
        if (!result.measured()) {
            files.firstErrorLines = firstLines(readStart(folder / ERRORS_FILE, 4096));
        }
        layout.scans.push_back(files);
    }
    return layout;
}

std::string resultsPage(const std::vector<ScanResult>& results, const BatchLayout& layout,
                        const std::vector<RunTimes>& runs) {
    BatchLayout found = layout;
    found.scans.resize(results.size());
    const std::vector<ValueColumn> columns = valueColumns(results);
    return "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Rapport de mesure : " +
           std::to_string(results.size()) + " scan(s)</title>\n<style>" + PAGE_STYLE +
           "</style>\n</head>\n<body>\n" + pageHeader(results, found, runs) +
           failuresSection(results, found) + distributionsSection(results, columns) +
           cardsSection(results, found, columns) + "</body>\n</html>\n";
}

bool writeResultsPage(const fs::path& outFolder, const std::vector<ScanResult>& results,
                      const std::vector<RunTimes>& runs) {
    return writeFileAtomically(outFolder / RESULTS_PAGE_FILE,
                               resultsPage(results, readBatchLayout(outFolder, results), runs));
}
