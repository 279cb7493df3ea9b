#include "section_measure/report.h"
#include "support/example_report.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace plantscan::section;

namespace fs = std::filesystem;
using test_support::EXAMPLE_REPORT;
using test_support::readBytes;

namespace {

// Runs a test body inside a fresh empty folder, so "mesures.csv" lands there.
class MeasurementReportFile : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(folder_.path());
    }
    void TearDown() override {
        // Windows removes no read-only file.
        std::error_code ignored;
        fs::permissions("mesures.csv", fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::current_path(previous_);
    }
    fs::path previous_;
    test_support::TestFolder folder_{"report_test"};
};

// The record whose report is the worked example: diameters of integer radii 247 and 180 pixels,
// hollows 43, 49, 40, 46 and 53 pixels away from a circumscribed circle of radius 247.
SectionMeasurements exampleMeasurements() {
    SectionMeasurements m;
    m.angleRadii = {0.87, 1.06, 0.95, 1.21, 0.78};
    m.hollowRadii = {2.14, 1.82, 3.05, 2.5, 1.97};
    m.hollowDepths = {0.42, 0.51, 0.33, 0.47, 0.6};
    const int away[5] = {43, 49, 40, 46, 53};
    for (int k = 0; k < 5; ++k) {
        m.hollowDistances[k] = away[k] * PIXEL_TO_MM;
        m.hollowRatios[k] = m.hollowDistances[k] * 100 / (247 * PIXEL_TO_MM);
    }
    m.sectionWidth = 9.87;
    m.circumscribedDiameter = (2 * 247) * PIXEL_TO_MM;
    m.inscribedDiameter = (2 * 180) * PIXEL_TO_MM;
    return m;
}

}  // namespace

TEST(FormatDecimal, RoundsToTwoDecimalsAndWritesSixSignificantDigitsWithAComma) {
    EXPECT_EQ(formatDecimal(3.14159, 2), "3,14");
    EXPECT_EQ(formatDecimal(2.5, 2), "2,5");
    EXPECT_EQ(formatDecimal(3.0, 2), "3");
    EXPECT_EQ(formatDecimal(100.0, 2), "100");
    EXPECT_EQ(formatDecimal(0.125, 2), "0,13");
    EXPECT_EQ(formatDecimal(2.675, 2), "2,68");
    EXPECT_EQ(formatDecimal(1.005, 2), "1");
    EXPECT_EQ(formatDecimal(0.0000001, 2), "0");
    EXPECT_EQ(formatDecimal(42.333333333333336, 2), "42,33");
    EXPECT_EQ(formatDecimal(12345.678, 2), "12345,7");
    EXPECT_EQ(formatDecimal(1234567.891, 2), "1,23457e+06");
    EXPECT_EQ(formatDecimal(-0.004, 2), "-0");
    EXPECT_EQ(formatDecimal(-0.125, 2), "-0,13");
}

TEST(ReplaceDotsWithCommas, ReplacesEveryDotAndNothingElse) {
    EXPECT_EQ(replaceDotsWithCommas("a.b..c;1,5"), "a,b,,c;1,5");
    EXPECT_EQ(replaceDotsWithCommas(""), "");
}

TEST(FormatMeasurementReport, GivesTheWorkedExampleByteForByte) {
    EXPECT_EQ(formatMeasurementReport(exampleMeasurements()), EXAMPLE_REPORT);
}

TEST_F(MeasurementReportFile, ReportIsWrittenAndReplacedNotAppended) {
    ASSERT_TRUE(writeMeasurementReport(exampleMeasurements()));
    ASSERT_TRUE(writeMeasurementReport(exampleMeasurements()));
    EXPECT_EQ(readBytes("mesures.csv"), EXAMPLE_REPORT);
}

TEST_F(MeasurementReportFile, ReportThatCannotBeOpenedIsReportedAndOldContentStays) {
    fs::create_directory("mesures.csv");
    EXPECT_FALSE(writeMeasurementReport(exampleMeasurements()));
    EXPECT_TRUE(fs::is_directory("mesures.csv"));
}

TEST_F(MeasurementReportFile, ReadOnlyReportKeepsItsOldContent) {
    { std::ofstream("mesures.csv") << "old"; }
    fs::permissions("mesures.csv", fs::perms::owner_read, fs::perm_options::replace);
    if (std::ofstream("mesures.csv", std::ios::app)) {
        GTEST_SKIP() << "permissions do not bind this user (the superuser, or wine run by it)";
    }
    EXPECT_FALSE(writeMeasurementReport(exampleMeasurements()));
    EXPECT_EQ(readBytes("mesures.csv"), "old");
}
