// The results pages of real batches, of sections and of leaflets, rendered by headless Chromium:
// a test-only page beside each loads it in a frame and writes what it found into its own DOM,
// read with --dump-dom.
#include "test_folder.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <unistd.h>

#include <cstdlib>

using namespace plantscan::tools;

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> findChromium() {
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        for (const char* name : {"chromium", "chromium-browser"}) {
            const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

// What the checking page wrote, one "key value" per line.
std::vector<std::string> findings(const std::string& dom) {
    const std::string open = "<pre id=\"constats\">";
    const std::size_t start = dom.find(open);
    if (start == std::string::npos) return {};
    const std::size_t end = dom.find("</pre>", start);
    return test_support::splitLines(dom.substr(start + open.size(), end - start - open.size()));
}

std::vector<std::string> withPrefix(const std::vector<std::string>& lines,
                                    const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
    }
    return found;
}

// Opens `out`/rapport.html through the checking page in headless Chromium: the DOM it dumped,
// from the findings on; what went wrong, without findings, when it failed or a script of any
// frame raised an error.
std::string checkedInBrowser(const fs::path& chromium, const fs::path& out,
                             const fs::path& profile) {
    fs::copy_file(REPORT_CHECK_PAGE, out / "verification.html");
    // Shared memory in /tmp, not /dev/shm, which a container or chroot may not let a user write.
    const RunResult browser = runProgram(
        "timeout",
        {"120", chromium.string(), "--headless", "--no-sandbox", "--disable-gpu",
         "--disable-dev-shm-usage", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile.string(), "--allow-file-access-from-files",
         "--enable-logging=stderr", "--v=0", "--window-size=1280,1600", "--dump-dom",
         "file://" + (out / "verification.html").string()});
    // Chromium logs every uncaught script error of any frame as a console message.
    if (browser.status != 0 || browser.err.find("Uncaught") != std::string::npos)
        return "chromium : statut " + std::to_string(browser.status) + "\n" + browser.err;
    const std::size_t found = browser.out.find("<pre id=\"constats\">");
    return found == std::string::npos ? browser.out : browser.out.substr(found);
}

}  // namespace

TEST(ResultsPageInBrowser, ThumbnailsLoadFailuresComeFirstAndTheOutlierIsMarked) {
    const std::optional<fs::path> chromium = findChromium();
    if (!chromium) GTEST_SKIP() << "chromium absent (paquet Debian chromium) : test sauté";

    TestFolder folder("section_batch_browser");
    const fs::path scans = folder.path() / "scans";
    const fs::path out = folder.path() / "resultats";
    fs::create_directories(scans);
    // Six sections alike, one twice as large (the outlier), one blank scan (the failure); one
    // name needs escaping and percent-encoding in the page.
    const std::vector<std::pair<std::string, double>> sections{
        {"coupe_1.jpg", 200}, {"coupe_2.jpg", 204}, {"coupe_3.jpg", 198},
        {"coupe_4.jpg", 202}, {"<b> &#%.jpg", 201}, {"coupe_6.jpg", 199}};
    std::uint64_t seed = 1;
    for (const auto& [name, radius] : sections) {
        SectionScanParams params;
        params.width = params.height = 600;
        params.center = {300, 300};
        params.radius = radius;
        params.rotationDeg = static_cast<double>(seed) * 5;
        params.seed = seed++;
        ASSERT_TRUE(cv::imwrite((scans / name).string(), makeSectionScan(params)));
    }
    SectionScanParams large;
    large.width = large.height = 1100;
    large.center = {550, 550};
    large.radius = 400;
    ASSERT_TRUE(cv::imwrite((scans / "grande.jpg").string(), makeSectionScan(large)));
    ASSERT_TRUE(cv::imwrite((scans / "blanc.png").string(),
                            cv::Mat(300, 300, CV_8UC3, cv::Scalar::all(255))));

    const RunResult batch = runProgram(SECTION_BATCH_BINARY, {"-j2", scans.string(), out.string()});
    ASSERT_EQ(batch.status, 1) << batch.err;
    ASSERT_TRUE(fs::is_regular_file(out / "rapport.html"));
    const std::string all = checkedInBrowser(*chromium, out, folder.path() / "profil");
    const std::vector<std::string> lines = findings(all);
    ASSERT_FALSE(lines.empty()) << all;

    // The seven measured scans each have their thumbnail, and each one loaded.
    EXPECT_EQ(withPrefix(lines, "images "), std::vector<std::string>{"7"}) << all;
    EXPECT_EQ(withPrefix(lines, "chargees "), std::vector<std::string>{"7"}) << all;
    EXPECT_EQ(withPrefix(lines, "premier "), std::vector<std::string>{"blanc.png"}) << all;
    // Width and both diameters of the large section, with the reason.
    std::vector<std::string> marked;
    for (const std::string& mark : withPrefix(lines, "marque ")) {
        if (mark.rfind("grande.jpg | Hors série", 0) == 0) marked.push_back(mark);
    }
    EXPECT_GE(marked.size(), 3u) << all;
    EXPECT_GE(std::stoi(withPrefix(lines, "points-marques ").at(0)), 3) << all;
    EXPECT_EQ(withPrefix(lines, "scripts "), std::vector<std::string>{"0"}) << all;
    EXPECT_EQ(withPrefix(lines, "erreurs "), std::vector<std::string>{"0"}) << all;
    EXPECT_TRUE(withPrefix(lines, "hors ").empty()) << all;
}

TEST(ResultsPageInBrowser, LeafletCropsAndDrawingsLoadTheFailureComesFirstAndTheLargeLeafIsMarked) {
    const std::optional<fs::path> chromium = findChromium();
    if (!chromium) GTEST_SKIP() << "chromium absent (paquet Debian chromium) : test sauté";

    TestFolder folder("leaflet_batch_browser");
    const fs::path scans = folder.path() / "scans";
    const fs::path out = folder.path() / "resultats_petales";
    fs::create_directories(scans);
    // Leaves alike on six scans, one far larger (the outlier), one scan without a leaf, one
    // broken (the failure); one name needs escaping and percent-encoding in the page.
    const std::vector<std::pair<std::string, double>> leaves{
        {"p_1.jpg", 300},     {"p_2.jpg", 306}, {"p_3.jpg", 296},   {"p_4.jpg", 303},
        {"<b> &#%.jpg", 298}, {"p_6.jpg", 301}, {"grande.jpg", 700}};
    std::uint64_t seed = 1;
    for (const auto& [name, length] : leaves) {
        LeafletScanParams params;
        params.width = 900;
        params.height = 500;
        params.specks = 5;
        params.seed = seed;
        params.leaves = {{{450, 250}, length, length * 0.4, 20.0 * static_cast<double>(seed++)}};
        ASSERT_TRUE(cv::imwrite((scans / name).string(), makeLeafletScan(params)));
    }
    LeafletScanParams empty;
    empty.width = 400;
    empty.height = 300;
    ASSERT_TRUE(cv::imwrite((scans / "vide.jpg").string(), makeLeafletScan(empty)));
    const std::string broken = readBytes(scans / "p_1.jpg");
    writeBytes(scans / "casse.jpg", broken.substr(0, broken.size() / 2));

    const RunResult batch = runProgram(LEAFLET_BATCH_BINARY, {"-j2", scans.string(), out.string()});
    ASSERT_EQ(batch.status, 1) << batch.err;
    const std::string all = checkedInBrowser(*chromium, out, folder.path() / "profil");
    const std::vector<std::string> lines = findings(all);
    ASSERT_FALSE(lines.empty()) << all;

    // Eight drawings (the scan without a leaf has one too) and seven crops, each loaded.
    EXPECT_EQ(withPrefix(lines, "images "), std::vector<std::string>{"15"}) << all;
    EXPECT_EQ(withPrefix(lines, "chargees "), std::vector<std::string>{"15"}) << all;
    EXPECT_EQ(withPrefix(lines, "premier "), std::vector<std::string>{"casse.jpg"}) << all;
    // The large leaf, on its contact sheet with the reasons, and as dots of the plots.
    const std::vector<std::string> marks = withPrefix(lines, "marque ");
    ASSERT_EQ(marks.size(), 1u) << all;
    EXPECT_EQ(marks[0].rfind("grande.jpg | Aire — Hors série", 0), 0u) << all;
    EXPECT_GE(std::stoi(withPrefix(lines, "points-marques ").at(0)), 3) << all;
    EXPECT_EQ(withPrefix(lines, "scripts "), std::vector<std::string>{"0"}) << all;
    EXPECT_EQ(withPrefix(lines, "erreurs "), std::vector<std::string>{"0"}) << all;
    EXPECT_TRUE(withPrefix(lines, "hors ").empty()) << all;
}
