#include "section_batch/results_page.h"
#include "section_batch/thumbnail.h"
#include "test_folder.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <thread>

namespace fs = std::filesystem;

namespace {

// Every cell "1" but the width (cell 25), so only that column can stand out.
ScanResult measuredScan(const std::string& name, const std::string& width = "9,5") {
    std::vector<std::string> cells(MEASUREMENT_CELLS, "1");
    cells[25] = width;
    return {name, 0, cells};
}

ScanResult failedScan(const std::string& name, std::optional<int> status) {
    return {name, status, std::nullopt};
}

std::size_t occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

BatchLayout withThumbnails(const std::vector<ScanResult>& results) {
    BatchLayout layout{true, {}};
    for (std::size_t i = 0; i < results.size(); ++i) {
        layout.scans.push_back({{THUMBNAIL_FILE, "res.jpg", "erreurs.txt"}, ""});
    }
    return layout;
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
    std::string page = resultsPage(results, withThumbnails(results), {});
    EXPECT_EQ(occurrences(page, "class=\"marque\" title="), 0u);
    EXPECT_EQ(occurrences(page, "<circle class=\"marque\""), 0u);

    results.push_back(measuredScan("g.jpg", "9,5"));
    page = resultsPage(results, withThumbnails(results), {});
    // d.jpg's width, in its card (with the reason on hover) and as a dot of the width's plot.
    EXPECT_EQ(occurrences(page, "<span class=\"marque\" title=\"Hors série : 19,5 mm"), 1u);
    EXPECT_EQ(occurrences(page, "<circle class=\"marque\""), 1u);
    EXPECT_NE(page.find("<title>d.jpg : 19,5</title>"), std::string::npos);
    EXPECT_EQ(occurrences(page, "class=\"marque\" title="), 1u);
}

TEST(ResultsPage, FailuresFirstThenEveryScanInTableOrderWithItsStatusInWords) {
    const std::vector<ScanResult> results{measuredScan("a.jpg"),  failedScan("b.jpg", 1),
                                          measuredScan("c.jpg"),  failedScan("d.jpg", std::nullopt),
                                          failedScan("e.jpg", 0), failedScan("f.jpg", 137)};
    BatchLayout layout = withThumbnails(results);
    layout.scans[1].firstErrorLines = "section_measure : pas de section mesurable";
    const std::string page = resultsPage(
        results, layout, {{"2026-12-08T06:30:05Z", "2026-12-08T06:31:10Z"}, {"", "bad"}});

    const auto at = [&](const std::string& piece, std::size_t from = 0) {
        const std::size_t found = page.find(piece, from);
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
    EXPECT_EQ(page.find(">a.jpg<"), at(">a.jpg<", cards));
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
    at("08/12/2026 06:30:05 → 08/12/2026 06:31:10 (1 min 5 s)");
    at("? → bad</li>");
}

TEST(ResultsPage, EscapesNamesAndMessagesAndEncodesLinks) {
    const std::string name = "<b>&\"' #%.jpg";
    const std::vector<ScanResult> results{measuredScan(name, "<i>"),
                                          failedScan("x<script>.png", 1)};
    BatchLayout layout = withThumbnails(results);
    layout.scans[1].firstErrorLines = "<img src=x onerror=alert(1)> & </pre>";
    const std::string page = resultsPage(results, layout, {{"<s>", "</s>"}});

    for (const char* raw : {"<b>", "<i>", "<script", "<img src=x", "</pre> ", "<s>", "</s>"}) {
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    }
    EXPECT_NE(page.find(">&lt;b&gt;&amp;&quot;&#39; #%.jpg<"), std::string::npos);
    EXPECT_NE(page.find("&lt;img src=x onerror=alert(1)&gt; &amp; &lt;/pre&gt;"),
              std::string::npos);
    EXPECT_NE(page.find("src=\"%3Cb%3E%26%22%27%20%23%25.jpg/vignette.jpg\""), std::string::npos);
    EXPECT_NE(page.find("href=\"%3Cb%3E%26%22%27%20%23%25.jpg/res.jpg\""), std::string::npos);
}

TEST(ResultsPage, LinksOnlyTheFilesFoundAndShowsTheFirstErrorLines) {
    TestFolder folder("section_batch_page");
    const fs::path out = folder.path();
    const std::vector<ScanResult> results{measuredScan("a.jpg"), measuredScan("b.jpg"),
                                          failedScan("c.jpg", 1)};
    fs::create_directories(out / "a.jpg");
    fs::create_directories(out / "b.jpg");
    fs::create_directories(out / "c.jpg");
    writeBytes(out / "a.jpg" / "res.jpg", "x");
    writeBytes(out / "a.jpg" / THUMBNAIL_FILE, "x");
    writeBytes(out / "b.jpg" / "res.jpg", "x");
    writeBytes(out / "c.jpg" / "erreurs.txt", "un\r\ndeux\ntrois\nquatre\ncinq\nsix\n");

    ASSERT_TRUE(writeResultsPage(out, results, {}));
    const std::string page = readBytes(out / RESULTS_PAGE_FILE);
    EXPECT_EQ(occurrences(page, "<img "), 1u);
    EXPECT_NE(page.find("src=\"a.jpg/vignette.jpg\""), std::string::npos);
    EXPECT_NE(page.find("pas de vignette</div>"), std::string::npos);  // b: res.jpg alone
    EXPECT_NE(page.find("href=\"b.jpg/res.jpg\""), std::string::npos);
    EXPECT_NE(page.find("pas d'image</div>"), std::string::npos);  // c: nothing
    EXPECT_EQ(page.find("c.jpg/res.jpg"), std::string::npos);
    EXPECT_NE(page.find("<pre>un\ndeux\ntrois\nquatre\ncinq</pre>"), std::string::npos);
    EXPECT_NE(page.find("toutes_mesures.csv pas encore écrit"), std::string::npos);
    EXPECT_EQ(page.find("href=\"toutes_mesures.csv\""), std::string::npos);
}

TEST(Thumbnail, ResJpgReducedTo320WideRemadeWhenOlderAndGoneWithIt) {
    TestFolder folder("section_batch_thumbnail");
    const fs::path scan = folder.path() / "a.jpg";
    fs::create_directories(scan);
    const std::vector<ScanResult> results{measuredScan("a.jpg")};
    for (const cv::Size size : {cv::Size(1000, 600), cv::Size(3300, 1650), cv::Size(200, 90)}) {
        ASSERT_TRUE(cv::imwrite((scan / "res.jpg").string(),
                                cv::Mat(size, CV_8UC3, cv::Scalar(0, 90, 200))));
        ASSERT_TRUE(makeThumbnail(scan));
        const cv::Mat thumbnail = cv::imread((scan / THUMBNAIL_FILE).string());
        const int width = std::min(size.width, THUMBNAIL_WIDTH);
        EXPECT_EQ(thumbnail.size(), cv::Size(width, size.height * width / size.width)) << size;
    }
    // A res.jpg newer than its thumbnail gets a new one; an up-to-date one is left alone.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(
        cv::imwrite((scan / "res.jpg").string(), cv::Mat(400, 800, CV_8UC3, cv::Scalar::all(90))));
    makeMissingThumbnails(folder.path(), results);
    EXPECT_EQ(cv::imread((scan / THUMBNAIL_FILE).string()).size(), cv::Size(320, 160));
    const auto made = fs::last_write_time(scan / THUMBNAIL_FILE);
    makeMissingThumbnails(folder.path(), results);
    EXPECT_EQ(fs::last_write_time(scan / THUMBNAIL_FILE), made);
    // No res.jpg (a failed rerun): no thumbnail of the earlier one either.
    fs::remove(scan / "res.jpg");
    EXPECT_FALSE(makeThumbnail(scan));
    EXPECT_FALSE(fs::exists(scan / THUMBNAIL_FILE));
}
