// The public API: the programs' outputs rebuilt from its values, the same numbers whatever ran
// before, its errors, and silence unless asked.
#include "library/boundary.h"
#include "plantscan/plantscan.h"
#include "support/sha256.h"
#include "support/test_files.h"
#include "support/test_scans.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace plantscan::tools;

namespace fs = std::filesystem;
using namespace test_support;

namespace {

const fs::path REPO = REPOSITORY;
const fs::path SMALL_SECTION = REPO / "tests/golden/small_section.jpg";

// relative path -> hash, in sha256sum's format.
std::map<std::string, std::string> goldenHashes(const std::string& goldenCase) {
    std::map<std::string, std::string> hashes;
    for (const std::string& line :
         splitLines(readBytes(REPO / "tests/golden" / goldenCase / "files.sha256"))) {
        if (line.size() > 66) hashes[line.substr(66)] = line.substr(0, 64);
    }
    return hashes;
}

std::map<std::string, std::string> hashesUnder(const fs::path& folder) {
    std::map<std::string, std::string> hashes;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            hashes[fs::relative(entry.path(), folder).generic_string()] =
                sha256Hex(readBytes(entry.path()));
    }
    return hashes;
}

// section_measure's standard output after its version line.
std::string goldenConsole(const std::string& goldenCase) {
    const std::string out = readBytes(REPO / "tests/golden" / goldenCase / "stdout.txt");
    return out.substr(out.find('\n') + 1);
}

void expectSectionAsTheProgram(const fs::path& scan, const std::string& goldenCase) {
    TestFolder folder("library_" + goldenCase);
    std::ostringstream console;
    const plantscan::Outputs outputs{&console, plantscan::folderWriter(folder.path().string())};
    const plantscan::SectionMeasurement m =
        plantscan::measureSection(plantscan::readScan(scan.string()), outputs);
    ASSERT_TRUE(plantscan::writeReport(m, (folder.path() / "mesures.csv").string()));

    EXPECT_EQ(console.str(), goldenConsole(goldenCase));
    EXPECT_EQ(hashesUnder(folder.path()), goldenHashes(goldenCase));
    EXPECT_EQ(sha256Hex(plantscan::formatReport(m)), goldenHashes(goldenCase).at("mesures.csv"));
}

std::string reportOf(const fs::path& scan) {
    return plantscan::formatReport(plantscan::measureSection(plantscan::readScan(scan.string())));
}

cv::Mat otherSection() {
    return makeSectionScan(test_support::centredSection(260, 240, 100, 20, 9));
}

// The index of the point nearest the circle's line.
template <typename Points>
int nearestToCircle(const Points& points, const plantscan::Circle& circle) {
    int nearest = 0;
    double best = 1e300;
    for (int j = 0; j < static_cast<int>(points.size()); ++j) {
        const double off = std::abs(cv::norm(points[j] - circle.center) - circle.radius);
        if (off < best) {
            best = off;
            nearest = j;
        }
    }
    return nearest;
}

}  // namespace

TEST(LibraryAsTheProgram, SmallSectionGivesSectionMeasuresConsoleImagesAndReport) {
    expectSectionAsTheProgram(SMALL_SECTION, "section_small");
}

TEST(LibraryAsTheProgram, SampleSectionGivesSectionMeasuresConsoleImagesAndReport) {
    expectSectionAsTheProgram(REPO / "samples/section.jpg", "section_sample");
}

TEST(LibraryAsTheProgram, SampleLeafletsGiveLeafletCropsFiles) {
    TestFolder folder("library_leaflets");
    const std::vector<plantscan::Leaflet> leaflets =
        plantscan::findLeaflets(plantscan::readScan((REPO / "samples/leaflet.jpg").string()),
                                {nullptr, plantscan::folderWriter(folder.path().string())});
    fs::create_directory(folder.path() / "PETALES");
    for (std::size_t n = 0; n < leaflets.size(); ++n) {
        const fs::path crop = folder.path() / ("PETALES/leaflet.jpg_" + std::to_string(n) + ".jpg");
        ASSERT_TRUE(cv::imwrite(crop.string(), leaflets[n].crop));
        // The rectangle holds the outline it was grown from.
        for (const cv::Point& p : leaflets[n].outline)
            ASSERT_TRUE(leaflets[n].rectangle.boundingRect().contains(p)) << n;
    }
    EXPECT_EQ(hashesUnder(folder.path()), goldenHashes("leaflet_sample"));
}

TEST(SectionMeasurement, EachCornerAndHollowLiesOnItsOwnCurvatureCircle) {
    const plantscan::SectionMeasurement m =
        plantscan::measureSection(plantscan::readScan(SMALL_SECTION.string()));
    for (int k = 0; k < plantscan::LOBE_COUNT; ++k) {
        EXPECT_EQ(nearestToCircle(m.corners, m.cornerCircles[k]), k) << "corner " << k + 1;
        EXPECT_EQ(nearestToCircle(m.hollows, m.hollowCircles[k]), k) << "hollow " << k + 1;
        EXPECT_NE(std::find(m.outline.begin(), m.outline.end(), m.hollows[k]), m.outline.end());
    }
}

TEST(SectionMeasurement, SameNumbersWhateverRanBeforeOnTheThreadAndTheCallersGeneratorKept) {
    const std::string golden = goldenHashes("section_small").at("mesures.csv");
    cv::theRNG().state = 0x2545F4914F6CDD1DULL;
    const std::string first = reportOf(SMALL_SECTION);
    EXPECT_EQ(cv::theRNG().state, 0x2545F4914F6CDD1DULL);
    EXPECT_EQ(sha256Hex(first), golden);

    cv::theRNG().next();
    plantscan::measureSection(otherSection());
    EXPECT_EQ(reportOf(SMALL_SECTION), first);

    std::string onAnotherThread;
    std::thread([&onAnotherThread] { onAnotherThread = reportOf(SMALL_SECTION); }).join();
    EXPECT_EQ(onAnotherThread, first);
}

TEST(LibraryErrors, UnreadableScansSayWhy) {
    using Cause = plantscan::UnreadableScanError::Cause;
    TestFolder folder("library_unreadable");
    const std::string whole = readBytes(SMALL_SECTION);
    writeBytes(folder.path() / "cut.jpg", whole.substr(0, whole.size() / 2));
    writeBytes(folder.path() / "text.jpg", "not an image");
    const auto causeOf = [](const fs::path& path) {
        try {
            plantscan::readScan(path.string());
        } catch (const plantscan::UnreadableScanError& error) {
            EXPECT_EQ(error.path, path.string());
            return error.cause;
        }
        ADD_FAILURE() << path << " was read";
        return Cause::NOT_AN_IMAGE;
    };
    EXPECT_EQ(causeOf(folder.path() / "missing.jpg"), Cause::MISSING);
    EXPECT_EQ(causeOf(folder.path() / "cut.jpg"), Cause::TRUNCATED_JPEG);
    EXPECT_EQ(causeOf(folder.path() / "text.jpg"), Cause::NOT_AN_IMAGE);
    EXPECT_EQ(causeOf(folder.path()), Cause::NOT_AN_IMAGE);
}

TEST(LibraryErrors, NoSectionGivesTheProgramsMessageAndConsoleLine) {
    EXPECT_THROW(plantscan::measureSection(cv::Mat(120, 120, CV_8UC3, cv::Scalar::all(255))),
                 plantscan::NoSectionError);

    // A dark spot too small to be a section: the program's console line, on the console too.
    cv::Mat spot(200, 200, CV_8UC1, cv::Scalar(255));
    spot(cv::Rect(90, 90, 30, 30)).setTo(0);
    std::ostringstream console;
    try {
        plantscan::measureSection(spot, {&console, {}});
        FAIL() << "a spot was measured";
    } catch (const plantscan::NoSectionError& error) {
        const std::string line = "Erreur à getAllPointsOfContour : contour.size()=0";
        EXPECT_EQ(error.what(), line);
        EXPECT_EQ(console.str().substr(console.str().size() - line.size() - 1), line + "\n");
    }

    EXPECT_THROW(plantscan::measureSection(cv::Mat(50, 50, CV_32FC3)), std::invalid_argument);
    EXPECT_THROW(plantscan::measureSection(cv::Mat()), std::invalid_argument);
    EXPECT_THROW(plantscan::measureSectionMask(cv::Mat(10, 10, CV_8UC1), cv::Mat(20, 20, CV_8UC3)),
                 std::invalid_argument);
}

TEST(LibraryErrors, ShortMemoryAndOpenCvErrorsAreTypedAndNameTheStage) {
    const auto translated = [](auto thrown) -> std::string {
        try {
            try {
                throw thrown;
            } catch (...) {
                plantscan::detail::rethrowAsLibraryError("mesures",
                                                         plantscan::detail::Language::FRENCH);
            }
        } catch (const plantscan::OutOfMemoryError& error) {
            return std::string("memory: ") + error.what();
        } catch (const plantscan::ImageLibraryError& error) {
            return std::string("opencv: ") + error.what();
        }
        return "";
    };
    EXPECT_EQ(translated(std::bad_alloc()), "memory: mémoire insuffisante à l'étape « mesures »");
    EXPECT_EQ(translated(cv::Exception(cv::Error::StsNoMem, "", "", "", 0)),
              "memory: mémoire insuffisante à l'étape « mesures »");
    EXPECT_EQ(translated(cv::Exception(cv::Error::StsBadArg, "", "", "", 0))
                  .rfind("opencv: erreur d'OpenCV à l'étape « mesures » : ", 0),
              0u);
}

TEST(LibraryOutputs, NothingIsPrintedOrWrittenUnlessAsked) {
    TestFolder folder("library_silent");
    const fs::path here = fs::current_path();
    fs::current_path(folder.path());
    std::ostringstream out, err;
    std::streambuf* const cout = std::cout.rdbuf(out.rdbuf());
    std::streambuf* const cerr = std::cerr.rdbuf(err.rdbuf());
    const cv::Mat scan = plantscan::readScan(SMALL_SECTION.string());
    plantscan::measureSection(scan);
    plantscan::findLeaflets(scan);
    std::cout.rdbuf(cout);
    std::cerr.rdbuf(cerr);
    fs::current_path(here);
    EXPECT_EQ(out.str() + err.str(), "");
    EXPECT_TRUE(fs::is_empty(folder.path()));
}
