#include "page/results_page.h"
#include "page/cards.h"
#include "page/french_text.h"
#include "page/statistics.h"
#include "page/strip_plot.h"
#include "page/thumbnail.h"
#include "section_batch/section_kind.h"
#include "section_measure/report_layout.h"
#include "test_folder.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <thread>

using namespace plantscan::page;
using namespace plantscan::section;
using namespace plantscan::section_batch;
using namespace plantscan::stored;

namespace fs = std::filesystem;

namespace {

const FolderLayout LAYOUT = sectionMeasureLayout();
const std::size_t WIDTH_CELL = static_cast<std::size_t>(firstReportCell(SECTION_WIDTH));

// Every cell "1" but the width, so only that column can stand out; its folder holds a
// thumbnail, its picture and its errors.
ScanResult measuredScan(const std::string& name, const std::string& width = "9,5") {
    ScanResult result;
    result.scanName = name;
    result.exitStatus = 0;
    result.cells = std::vector<std::string>(REPORT_CELLS, "1");
    (*result.cells)[WIDTH_CELL] = width;
    result.files = {THUMBNAIL_FILE, "res.jpg", ERRORS_FILE};
    return result;
}

ScanResult failedScan(const std::string& name, std::optional<int> status) {
    ScanResult result = measuredScan(name);
    result.exitStatus = status;
    result.cells.reset();
    return result;
}

std::size_t occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

std::string page(const std::vector<ScanResult>& results, const std::vector<RunTimes>& runs = {}) {
    return sectionResultsPage(results, LAYOUT, {"section_batch", TABLE_FILE, true, runs});
}

}  // namespace

TEST(ResultsPage, CellsReadWithADecimalCommaAndNothingElse) {
    EXPECT_EQ(parseCell("9,87"), 9.87);
    EXPECT_EQ(parseCell("1,23457e+06"), 1234570.0);
    EXPECT_EQ(parseCell("-0"), 0.0);
    EXPECT_EQ(parseCell("12"), 12.0);
    for (const char* bad : {"", " 1", "1,2,3", "1;2", "abc", "nan", "inf", "-nan", "1e999"}) {
        EXPECT_FALSE(parseCell(bad)) << bad;
    }
}

TEST(ResultsPage, MarksBeyondThreeAndAHalfRobustDeviationsOnBothSides) {
    // Median 3.5, median absolute deviation 1.5: the limit is 3.5 x 1.4826 x 1.5 = 7.78.
    EXPECT_EQ(markOutliers({1, 2, 3, 4, 5, 11.2}), std::vector<bool>(6, false));
    EXPECT_EQ(markOutliers({1, 2, 3, 4, 5, 11.3}),
              (std::vector<bool>{false, false, false, false, false, true}));
    EXPECT_EQ(markOutliers({-4.3, 2, 3, 4, 5, 6}),
              (std::vector<bool>{true, false, false, false, false, false}));
    // More than half equal: the median absolute deviation is 0 and the mean distance to the
    // median stands in: 6.67 and 6.69 lie either side of the limit 3.5 x 1.2533 x mean.
    EXPECT_EQ(markOutliers({5, 5, 6.67, 5, 5, 6, 5}), std::vector<bool>(7, false));
    EXPECT_EQ(markOutliers({5, 5, 6.69, 5, 5, 6, 5}),
              (std::vector<bool>{false, false, true, false, false, false, false}));
    // All equal, or too few values to tell: nothing.
    EXPECT_EQ(markOutliers({4, 4, 4, 4, 4, 4}), std::vector<bool>(6, false));
    EXPECT_EQ(markOutliers({1, 1.1, 0.9, 100}), std::vector<bool>(4, false));
    EXPECT_EQ(markOutliers({1, 1.1, 0.9, 1, 100}),
              (std::vector<bool>{false, false, false, false, true}));
}

TEST(ResultsPage, MarksOnlyAmongMeasuredScansWithTheReasonAndInThePlot) {
    std::vector<ScanResult> results{measuredScan("a.jpg", "9,5"), measuredScan("b.jpg", "9,6"),
                                    measuredScan("c.jpg", "9,4"), measuredScan("d.jpg", "19,5"),
                                    failedScan("e.jpg", 1),       failedScan("f.jpg", 4)};
    // Four measured scans: too few.
    std::string html = page(results);
    EXPECT_EQ(occurrences(html, "class=\"marque\" title="), 0u);
    EXPECT_EQ(occurrences(html, "<circle class=\"marque\""), 0u);

    results.push_back(measuredScan("g.jpg", "9,5"));
    html = page(results);
    // d.jpg's width, in its card (with the reason on hover) and as a dot of the width's plot.
    EXPECT_EQ(occurrences(html, "<span class=\"marque\" title=\"Hors série : 19,5 mm"), 1u);
    EXPECT_EQ(occurrences(html, "<circle class=\"marque\""), 1u);
    EXPECT_NE(html.find("<title>d.jpg : 19,5</title>"), std::string::npos);
    EXPECT_EQ(occurrences(html, "class=\"marque\" title="), 1u);
}

TEST(ResultsPage, EachStripPlotWritesItsSmallestMedianAndLargestValue) {
    const std::string html = page({measuredScan("a.jpg", "9,5"), measuredScan("b.jpg", "9,6"),
                                   measuredScan("c.jpg", "9,4"), measuredScan("d.jpg", "19,5"),
                                   measuredScan("g.jpg", "9,5")});
    const std::size_t plot = html.find("<svg class=\"bande\"");
    ASSERT_NE(plot, std::string::npos);
    const std::string strip = html.substr(plot, html.find("</svg>", plot) - plot);
    const std::size_t low = strip.find(">9,4</text>"), median = strip.find(">9,5</text>"),
                      high = strip.find(">19,5</text>");
    ASSERT_NE(low, std::string::npos) << strip;
    ASSERT_NE(median, std::string::npos) << strip;
    ASSERT_NE(high, std::string::npos) << strip;
}

TEST(ResultsPage, FailuresFirstThenEveryScanInTableOrderWithItsStatusInWords) {
    std::vector<ScanResult> results{measuredScan("a.jpg"),  failedScan("b.jpg", 1),
                                    measuredScan("c.jpg"),  failedScan("d.jpg", std::nullopt),
                                    failedScan("e.jpg", 0), failedScan("f.jpg", 137)};
    results[1].firstErrorLines = "section_measure : pas de section mesurable";
    const std::string html =
        page(results, {{"2026-12-08T06:30:05Z", "2026-12-08T06:31:10Z"}, {"", "bad"}});

    const auto at = [&](const std::string& piece, std::size_t from = 0) {
        const std::size_t found = html.find(piece, from);
        EXPECT_NE(found, std::string::npos) << piece;
        return found;
    };
    const std::size_t failures = at("<section id=\"echecs\">");
    const std::size_t cards = at("<section id=\"scans\">");
    std::size_t last = failures;
    for (const char* name : {">b.jpg<", ">d.jpg<", ">e.jpg<", ">f.jpg<"}) {
        const std::size_t found = at(name, last);
        EXPECT_LT(found, cards) << name;
        last = found;
    }
    EXPECT_EQ(html.find(">a.jpg<"), at(">a.jpg<", cards));
    last = cards;
    for (const char* name : {">a.jpg<", ">b.jpg<", ">c.jpg<", ">d.jpg<", ">e.jpg<", ">f.jpg<"}) {
        last = at(name, last);
    }
    at("pas de section mesurable (statut 1)");
    at("<pre>section_measure : pas de section mesurable</pre>");
    at("pas de statut");
    at("statut 0 mais « mesures.csv » absent ou incomplet");
    at("arrêté par le signal 9 (statut 137)");
    at("6 scan(s)</strong> : 2 mesuré(s), 4 en échec");
    // The runs: one known to have lasted 65 s, one whose times cannot be read.
    at("2 lancement(s)");
    at("08/12/2026 06:30:05 → 08/12/2026 06:31:10 (1 min 05 s)");
    at("? → bad</li>");
    // The browser holds the page to its promise of no script.
    at("<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'; object-src "
       "'none'; base-uri 'none'\">");
}

TEST(ResultsPage, HostileNamesAndMessagesNeverReachThePageAsMarkup) {
    // A failed scan, and a marked outlier among five measured ones, whose name ends up in the
    // failures, a card, an image's alt text and the title of the outlier's dot.
    const std::string name = "<img src=x onerror=alert(1)>&\"' #%.jpg";
    std::vector<ScanResult> results{measuredScan("a.jpg", "9,5"), measuredScan("b.jpg", "9,6"),
                                    measuredScan("c.jpg", "9,4"), measuredScan("d.jpg", "9,5"),
                                    measuredScan(name, "19,5"),   failedScan("x" + name, 1)};
    results[5].firstErrorLines = "<script>alert(2)</script> & </pre>";
    const std::string html = page(results, {{"<s>", "</s>"}});

    ASSERT_NE(html.find("<circle class=\"marque\""), std::string::npos);
    for (const char* raw : {"<img src=x", "<script", "</pre> ", "<s>", "</s>", "\"' #"}) {
        EXPECT_EQ(html.find(raw), std::string::npos) << raw;
    }
    const std::string escaped = "&lt;img src=x onerror=alert(1)&gt;&amp;&quot;&#39; #%.jpg";
    EXPECT_NE(html.find("<title>" + escaped + " : 19,5</title>"), std::string::npos);
    EXPECT_NE(html.find(">x" + escaped + "</a></h3>"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(2)&lt;/script&gt; &amp; &lt;/pre&gt;"),
              std::string::npos);
    // Links keep the name as one path segment: "#" and "%" encoded, not a fragment or an escape.
    const std::string encoded =
        "%3Cimg%20src%3Dx%20onerror%3Dalert%281%29%3E%26%22%27%20%23%25.jpg";
    EXPECT_NE(html.find("src=\"" + encoded + "/vignette.jpg\""), std::string::npos);
    EXPECT_NE(html.find("href=\"x" + encoded + "/erreurs.txt\""), std::string::npos);
}

TEST(ResultsPage, LinksOnlyTheFilesItsFolderHoldsAndShowsTheFirstErrorLines) {
    TestFolder folder("section_batch_page");
    const fs::path out = folder.path();
    for (const char* scan : {"a.jpg", "b.jpg", "c.jpg"}) fs::create_directories(out / scan);
    writeBytes(out / "a.jpg" / "res.jpg", "x");
    writeBytes(out / "a.jpg" / THUMBNAIL_FILE, "x");
    writeBytes(out / "b.jpg" / "res.jpg", "x");
    writeBytes(out / "b.jpg" / "notes.txt", "the user's own");
    writeBytes(out / "c.jpg" / ERRORS_FILE, "un\r\ndeux\ntrois\nquatre\ncinq\nsix\n");
    ASSERT_TRUE(writeStatus(out / "c.jpg", {1, {}}));

    std::vector<ScanResult> results;
    for (const char* scan : {"a.jpg", "b.jpg", "c.jpg"})
        results.push_back(readScanFolder(out / scan, scan, LAYOUT));
    EXPECT_EQ(results[1].files, std::vector<std::string>{"res.jpg"});
    EXPECT_EQ(results[2].exitStatus, 1);
    EXPECT_EQ(results[2].firstErrorLines, "un\ndeux\ntrois\nquatre\ncinq");

    ASSERT_TRUE(writeResultsPage(
        out, sectionResultsPage(results, LAYOUT, {"section_batch", TABLE_FILE, false, {}})));
    const std::string html = readBytes(out / RESULTS_PAGE_FILE);
    EXPECT_EQ(occurrences(html, "<img "), 1u);
    EXPECT_NE(html.find("src=\"a.jpg/vignette.jpg\""), std::string::npos);
    EXPECT_NE(html.find("pas de vignette</div>"), std::string::npos);  // b: res.jpg alone
    EXPECT_NE(html.find("href=\"b.jpg/res.jpg\""), std::string::npos);
    EXPECT_EQ(html.find("notes.txt"), std::string::npos);
    EXPECT_NE(html.find("pas d'image</div>"), std::string::npos);  // c: nothing
    EXPECT_EQ(html.find("c.jpg/res.jpg"), std::string::npos);
    EXPECT_NE(html.find("<pre>un\ndeux\ntrois\nquatre\ncinq</pre>"), std::string::npos);
    EXPECT_NE(html.find("toutes_mesures.csv pas encore écrit"), std::string::npos);
    EXPECT_EQ(html.find("href=\"toutes_mesures.csv\""), std::string::npos);
}

TEST(Thumbnail, ResJpgReducedTo320WideRemadeWhenOlderAndGoneWithIt) {
    TestFolder folder("section_batch_thumbnail");
    const fs::path scan = folder.path() / "a.jpg";
    fs::create_directories(scan);
    for (const cv::Size size : {cv::Size(1000, 600), cv::Size(3300, 1650), cv::Size(200, 90)}) {
        ASSERT_TRUE(cv::imwrite((scan / "res.jpg").string(),
                                cv::Mat(size, CV_8UC3, cv::Scalar(0, 90, 200))));
        ASSERT_TRUE(makeThumbnail(scan, "res.jpg"));
        const cv::Mat thumbnail = cv::imread((scan / THUMBNAIL_FILE).string());
        const int width = std::min(size.width, THUMBNAIL_WIDTH);
        EXPECT_EQ(thumbnail.size(), cv::Size(width, size.height * width / size.width)) << size;
    }
    // A res.jpg newer than its thumbnail gets a new one; an up-to-date one is left alone.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(
        cv::imwrite((scan / "res.jpg").string(), cv::Mat(400, 800, CV_8UC3, cv::Scalar::all(90))));
    const auto thumbnailsOf = [&] {
        return withThumbnails(folder.path(), {readScanFolder(scan, "a.jpg", LAYOUT)}, LAYOUT);
    };
    EXPECT_TRUE(thumbnailsOf()[0].holds(THUMBNAIL_FILE));
    EXPECT_EQ(cv::imread((scan / THUMBNAIL_FILE).string()).size(), cv::Size(320, 160));
    const auto made = fs::last_write_time(scan / THUMBNAIL_FILE);
    EXPECT_TRUE(thumbnailsOf()[0].holds(THUMBNAIL_FILE));
    EXPECT_EQ(fs::last_write_time(scan / THUMBNAIL_FILE), made);
    // No res.jpg: a thumbnail left over is not shown, and none is made.
    fs::remove(scan / "res.jpg");
    EXPECT_FALSE(thumbnailsOf()[0].holds(THUMBNAIL_FILE));
    EXPECT_FALSE(makeThumbnail(scan, "res.jpg"));
    EXPECT_FALSE(fs::exists(scan / THUMBNAIL_FILE));
}

TEST(Thumbnail, EachPieceNumberedWhereItLiesAndKeptWithinTheThumbnail) {
    TestFolder folder("leaflet_thumbnail_numbers");
    ASSERT_TRUE(cv::imwrite((folder.path() / "res.jpg").string(),
                            cv::Mat(600, 1000, CV_8UC3, cv::Scalar::all(0))));
    ASSERT_TRUE(makeThumbnail(folder.path(), "res.jpg", {{500, 300}, {999, 599}}));
    cv::Mat gray;
    cv::cvtColor(cv::imread((folder.path() / THUMBNAIL_FILE).string()), gray, cv::COLOR_BGR2GRAY);
    ASSERT_EQ(gray.size(), cv::Size(320, 192));
    const auto lit = [&](cv::Rect area) { return cv::countNonZero(gray(area) > 128); };
    EXPECT_GT(lit({150, 84, 20, 24}), 10);  // "0" at the centre
    EXPECT_GT(lit({300, 170, 20, 22}), 5);  // "1" in the corner, whole
    // Nowhere else.
    EXPECT_EQ(lit({0, 0, 320, 192}), lit({150, 84, 20, 24}) + lit({300, 170, 20, 22}));
}
