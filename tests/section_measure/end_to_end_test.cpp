// Runs the built program on generated scans, each run in a fresh folder of its own.
#include "section_measure/report.h"
#include "section_measure/section.h"
#include "support/run_program.h"
#include "support/test_files.h"
#include "support/test_scans.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace plantscan::section;
using namespace plantscan::tools;

namespace fs = std::filesystem;
using namespace test_support;

namespace {

const std::vector<std::string> IMAGES_IN_ORDER{"gray.bmp",
                                               "bw2.jpg",
                                               "grabcut.jpg",
                                               "bw.jpg",
                                               "res.jpg",
                                               "rayonsCourbureAngles.jpg",
                                               "rayonsCourbureCreux.jpg",
                                               "cercleCirconscrit.jpg",
                                               "cercleInscrit.jpg"};

double commaNumber(std::string cell) {
    for (char& c : cell) c = c == ',' ? '.' : c;
    return std::stod(cell);
}

class SectionMeasureRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.empty()); }

    fs::path writeScan(const SectionScanParams& params, const std::string& name) const {
        const fs::path path = folder_ / name;
        EXPECT_TRUE(cv::imwrite(path.string(), makeSectionScan(params)));
        return path;
    }

    RunResult run(const std::vector<std::string>& arguments, RunOptions options = {}) const {
        options.folder = folder_;
        return runProgram(SECTION_MEASURE_PATH, arguments, options);
    }

    bool exists(const std::string& name) const { return fs::exists(folder_ / name); }

    TestFolder scratch_{"section_e2e"};
    fs::path folder_ = scratch_.path();
};

SectionScanParams smallScan() { return test_support::centredSection(300, 300, 110, 12, 5); }

// Walks the console lines against the expected shapes; optional lines may be absent.
class ConsoleCursor {
public:
    explicit ConsoleCursor(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    std::smatch expect(const std::string& pattern) {
        std::smatch match;
        EXPECT_LT(next_, lines_.size()) << "missing line " << pattern;
        if (next_ >= lines_.size()) return match;
        EXPECT_TRUE(std::regex_match(lines_[next_], match, std::regex(pattern)))
            << "line " << next_ + 1 << " \"" << lines_[next_] << "\" is not " << pattern;
        ++next_;
        return match;
    }
    void skipIf(const std::string& pattern) {
        if (next_ < lines_.size() && std::regex_match(lines_[next_], std::regex(pattern))) ++next_;
    }
    double number(const std::string& pattern) { return std::stod(expect(pattern)[1].str()); }
    bool atEnd() const { return next_ == lines_.size(); }

private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

const std::string NUMBER = "(-?[0-9.]+(?:e[-+][0-9]+)?|-?nan|-?inf)";
const std::string INTEGER = "-?[0-9]+";

void expectFitLines(ConsoleCursor& console) {
    console.expect("D=" + NUMBER);
    console.skipIf("D=0");
    console.expect("erreur : " + NUMBER);
}

}  // namespace

TEST_F(SectionMeasureRun, CompleteRunPrintsWritesAndReportsConsistentValues) {
    const SectionScanParams params = smallScan();
    writeScan(params, "scan.png");
    const RunResult result = run({"scan.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    // Console lines, in order.
    ConsoleCursor console(splitLines(result.out));
    console.expect("opencv version : 4\\.6");
    console.expect("bb");
    console.expect("cc");
    console.expect("Point\\( x = " + INTEGER + ", y = " + INTEGER + "\\)");
    for (int i = 0; i < 4; ++i) console.expect("delta " + NUMBER);
    const double width = console.number("largeur : " + NUMBER + " mm");
    std::vector<double> angleRadii, hollowRadii, distances, depths, ratios;
    for (int k = 1; k <= 5; ++k) {
        expectFitLines(console);
        angleRadii.push_back(console.number("rayon de courbure de l'angle " + std::to_string(k) +
                                            " : " + NUMBER + " mm"));
    }
    for (int k = 1; k <= 5; ++k) {
        console.expect("creux " + std::to_string(k));
        console.skipIf("erreur angle 3 points ! .*");
        console.expect("angle : " + NUMBER);
        expectFitLines(console);
        hollowRadii.push_back(console.number("rayon de courbure du creux " + std::to_string(k) +
                                             " : " + NUMBER + " mm"));
    }
    const std::string circle =
        "Radius : ([0-9]+) Center : Point\\(x =" + INTEGER + " , y =" + INTEGER + "\\)";
    const int outerRadius = std::stoi(console.expect(circle)[1].str());
    const std::smatch diameterLine =
        console.expect("diametre du cercle circonscrit : " + NUMBER + " mm");
    std::ostringstream expectedDiameter;
    expectedDiameter << 2 * outerRadius * PIXEL_TO_MM;
    EXPECT_EQ(diameterLine[1].str(), expectedDiameter.str());
    const double diameter = std::stod(diameterLine[1].str());
    for (int k = 1; k <= 5; ++k) {
        const std::string ks = std::to_string(k);
        distances.push_back(console.number("distance du creux " + ks +
                                           " avec le cercle circonscrit : " + NUMBER + " mm"));
        depths.push_back(console.number("profondeur du creux " + ks + " : " + NUMBER + " mm"));
        ratios.push_back(console.number(
            "ratio de la  distance du creux " + ks +
            " avec le cercle circonscrit avec le rayon du cercle :   : " + NUMBER + " %"));
    }
    const int innerRadius = std::stoi(console.expect(circle)[1].str());
    EXPECT_TRUE(console.atEnd());

    // Every image, written in order ("bw.jpg" is the second write of that name).
    for (std::size_t i = 0; i < IMAGES_IN_ORDER.size(); ++i) {
        ASSERT_TRUE(exists(IMAGES_IN_ORDER[i])) << IMAGES_IN_ORDER[i];
        if (i > 0) {
            EXPECT_LE(fs::last_write_time(folder_ / IMAGES_IN_ORDER[i - 1]),
                      fs::last_write_time(folder_ / IMAGES_IN_ORDER[i]))
                << IMAGES_IN_ORDER[i];
        }
    }
    EXPECT_LE(fs::last_write_time(folder_ / "cercleInscrit.jpg"),
              fs::last_write_time(folder_ / "mesures.csv"));

    // "bw.jpg" ends as the section black on white, unlike "bw2.jpg".
    const cv::Mat bw = cv::imread((folder_ / "bw.jpg").string(), cv::IMREAD_GRAYSCALE);
    const cv::Mat bw2 = cv::imread((folder_ / "bw2.jpg").string(), cv::IMREAD_GRAYSCALE);
    EXPECT_LT(bw.at<uchar>(150, 150), 64);
    EXPECT_GT(bw.at<uchar>(5, 5), 192);
    EXPECT_GT(bw2.at<uchar>(150, 150), 192);

    // The report: nine CR LF lines, its labels and cells, no point anywhere.
    const std::string report = readBytes(folder_ / "mesures.csv");
    EXPECT_EQ(report.find('.'), std::string::npos);
    ASSERT_GE(report.size(), 2u);
    EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = report.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines.push_back(report.substr(start, end - start));
        EXPECT_EQ(lines.back().find('\n'), std::string::npos);
    }
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0],
              "Mesure;Angle/creux 1;Angle/creux 2;Angle/creux 3;Angle/creux 4;Angle/creux 5");
    const std::vector<std::string> labels{
        "Rayon de courbure de l'angle (mm)",
        "Rayon de courbure du creux (mm)",
        "Profondeur du creux (mm)",
        "Distance du creux avec le cercle circonscrit (mm)",
        "Ratio de la  distance du creux  avec le cercle circonscrit avec le rayon du cercle (%)",
        "Largeur primocanne  (mm) : ",
        "Diam\xC3\xA8tre cercle circonscrit  (mm) : ",
        "Diam\xC3\xA8tre cercle inscrit  (mm) : "};
    const std::vector<std::vector<double>> rows{angleRadii, hollowRadii, depths, distances, ratios};
    for (std::size_t r = 0; r < labels.size(); ++r) {
        const std::vector<std::string> cells = splitCells(lines[r + 1]);
        EXPECT_EQ(cells[0], labels[r]);
        if (r < rows.size()) {
            ASSERT_EQ(cells.size(), 7u) << lines[r + 1];
            EXPECT_EQ(cells[6], "");
            for (int k = 0; k < 5; ++k) EXPECT_NEAR(commaNumber(cells[k + 1]), rows[r][k], 0.0051);
        } else {
            ASSERT_EQ(cells.size(), 2u) << lines[r + 1];
        }
    }
    EXPECT_NEAR(commaNumber(splitCells(lines[6])[1]), width, 0.0051);
    EXPECT_NEAR(commaNumber(splitCells(lines[7])[1]), diameter, 0.0051);
    EXPECT_EQ(splitCells(lines[8])[1], formatDecimal(2 * innerRadius * PIXEL_TO_MM, 2));

    // Plausible against the shape drawn: circumscribed circle and width within 3 %.
    std::vector<cv::Point2f> polygon;
    for (const cv::Point2d& p : sectionPolygon(params)) polygon.emplace_back(p);
    cv::Point2f centre;
    float radius = 0;
    cv::minEnclosingCircle(polygon, centre, radius);
    EXPECT_NEAR(diameter, 2 * radius * PIXEL_TO_MM, 0.03 * 2 * radius * PIXEL_TO_MM);
    double drawnWidth = 0;
    for (const cv::Point2f& a : polygon) {
        for (const cv::Point2f& b : polygon) drawnWidth = std::max(drawnWidth, cv::norm(a - b));
    }
    EXPECT_NEAR(width, drawnWidth * PIXEL_TO_MM, 0.03 * drawnWidth * PIXEL_TO_MM);
    EXPECT_LT(2 * innerRadius, 2 * outerRadius);
}

TEST_F(SectionMeasureRun, ReadsSectionJpgByDefaultAndIgnoresASecondArgument) {
    writeScan(smallScan(), "section.jpg");
    const RunResult byDefault = run({});
    EXPECT_EQ(byDefault.status, 0) << byDefault.err;
    const std::string first = readBytes(folder_ / "mesures.csv");
    fs::remove(folder_ / "mesures.csv");
    const RunResult twoArguments = run({"section.jpg", "absent.jpg"});
    EXPECT_EQ(twoArguments.status, 0) << twoArguments.err;
    EXPECT_EQ(readBytes(folder_ / "mesures.csv"), first);
    EXPECT_EQ(byDefault.out, twoArguments.out);
}

TEST_F(SectionMeasureRun, NoSectionAboveTheMinimumAreaGivesTheContourErrorLine) {
    SectionScanParams params = smallScan();
    params.radius = 45;  // about 4000 pixels
    writeScan(params, "small.png");
    const RunResult result = run({"small.png"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "opencv version : 4.6\nbb\ncc\n"
              "Erreur \xC3\xA0 getAllPointsOfContour : contour.size()=0\n");
    EXPECT_EQ(result.err, "");
    for (const char* name : {"gray.bmp", "bw.jpg", "bw2.jpg", "grabcut.jpg"})
        EXPECT_TRUE(exists(name));
    EXPECT_FALSE(exists("res.jpg"));
    EXPECT_FALSE(exists("mesures.csv"));
}

TEST_F(SectionMeasureRun, ASingleGrayClassIsNotMeasurable) {
    cv::imwrite((folder_ / "blank.png").string(),
                cv::Mat(200, 200, CV_8UC3, cv::Scalar(180, 190, 200)));
    const RunResult result = run({"blank.png"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "opencv version : 4.6\nbb\n");
    EXPECT_NE(result.err.find("blank.png"), std::string::npos) << result.err;
    for (const char* name : {"gray.bmp", "bw.jpg", "bw2.jpg"}) EXPECT_TRUE(exists(name));
    EXPECT_FALSE(exists("grabcut.jpg"));
}

TEST_F(SectionMeasureRun, AnOutlineTooShortToMeasureIsNotMeasurable) {
    // A dark band whose contour keeps only two corners outside the border band: a 51-point outline.
    cv::Mat scan(300, 300, CV_8UC3, cv::Scalar(200, 200, 200));
    cv::rectangle(scan, {5, 160}, {250, 210}, cv::Scalar(20, 20, 20), cv::FILLED);
    cv::imwrite((folder_ / "band.png").string(), scan);
    const RunResult result = run({"band.png"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "opencv version : 4.6\nbb\ncc\n");
    EXPECT_NE(result.err.find("51"), std::string::npos) << result.err;
    EXPECT_FALSE(exists("res.jpg"));

    // Only one corner kept: no outline at all.
    scan.setTo(cv::Scalar(200, 200, 200));
    cv::rectangle(scan, {5, 5}, {200, 200}, cv::Scalar(20, 20, 20), cv::FILLED);
    cv::imwrite((folder_ / "band.png").string(), scan);
    const RunResult onePoint = run({"band.png"});
    EXPECT_EQ(onePoint.status, 1);
    EXPECT_FALSE(onePoint.signalled);
    EXPECT_NE(onePoint.err.find(" 0 "), std::string::npos) << onePoint.err;
}

TEST_F(SectionMeasureRun, AnImageThatCannotBeWrittenIsNamedAndTheRunGoesOn) {
    writeScan(smallScan(), "scan.png");
    fs::create_directory(folder_ / "res.jpg");
    const RunResult imageBlocked = run({"scan.png"});
    EXPECT_EQ(imageBlocked.status, 3);
    EXPECT_NE(imageBlocked.err.find("res.jpg"), std::string::npos) << imageBlocked.err;
    EXPECT_TRUE(exists("cercleInscrit.jpg"));
    EXPECT_TRUE(exists("mesures.csv"));
}

// Any name, from the command line to every file read: a full path through a folder with
// characters outside every Windows code page but UTF-8.
TEST_F(SectionMeasureRun, AScanUnderAFolderWithAnyCharactersIsReadThroughItsFullPath) {
    const fs::path scans = folder_ / fs::u8path("mesures été ł");
    fs::create_directory(scans);
    std::vector<uchar> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", makeSectionScan(smallScan()), jpeg));
    const std::string bytes(jpeg.begin(), jpeg.end());
    writeBytes(scans / fs::u8path("coupe ł.jpg"), bytes);
    const RunResult measured = run({(scans / fs::u8path("coupe ł.jpg")).u8string()});
    EXPECT_EQ(measured.status, 0) << measured.err;
    EXPECT_TRUE(exists("mesures.csv"));

    // The checks made before decoding read the same file: a JPEG cut short is refused, not
    // measured with its missing half in gray, and its header's size is weighed against memory.
    writeBytes(scans / fs::u8path("coupée ł.jpg"), bytes.substr(0, bytes.size() / 2));
    const RunResult cut = run({(scans / fs::u8path("coupée ł.jpg")).u8string()});
    EXPECT_EQ(cut.status, 2);
    EXPECT_NE(cut.err.find("« " + (scans / fs::u8path("coupée ł.jpg")).u8string() +
                           " » : fichier JPEG tronqué"),
              std::string::npos)
        << cut.err;
    // Under the share's older name too, which scripts written for section_batch set.
    RunOptions tooLittle;
    tooLittle.environment = {{"SECTION_BATCH_MEMORY_SHARE", "1000"}};
    const RunResult refused = run({(scans / fs::u8path("coupe ł.jpg")).u8string()}, tooLittle);
    EXPECT_EQ(refused.status, 4) << refused.err;
}
