#include "section_measure/outline.h"

#include "section_measure/section.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <set>
#include <tuple>

using namespace plantscan::section;

namespace {

using Points = std::vector<cv::Point>;

cv::Mat filledRectangle(cv::Size size, cv::Point from, cv::Point to) {
    cv::Mat image = cv::Mat::zeros(size, CV_8UC1);
    cv::rectangle(image, from, to, cv::Scalar(255), cv::FILLED);
    return image;
}

Points findIn(const cv::Mat& searched) {
    cv::Mat drawing = cv::Mat::zeros(searched.size(), CV_8UC3);
    return findSectionContour(searched, drawing, 10000.0);
}

}  // namespace

TEST(FindSectionContour, BorderFilterDropsTenAndKeepsElevenAndNeverKeepsTheFirstPoint) {
    const cv::Size size(200, 200);
    // A filled rectangle's contour is its four corners, from the top left going down first.
    EXPECT_EQ(findIn(filledRectangle(size, {11, 11}, {189, 189})),
              (Points{{11, 189}, {189, 189}, {189, 11}}));
    EXPECT_EQ(findIn(filledRectangle(size, {10, 11}, {189, 189})), (Points{{189, 189}, {189, 11}}));
    EXPECT_EQ(findIn(filledRectangle(size, {11, 11}, {190, 189})), (Points{{11, 189}}));
    EXPECT_EQ(findIn(filledRectangle(size, {11, 11}, {189, 190})), (Points{{189, 11}}));
}

TEST(FindSectionContour, AreaMustExceedTheMinimumStrictly) {
    const cv::Size size(200, 200);
    // Pixel centres 100 apart each way: exactly 10000.
    const cv::Mat exact = filledRectangle(size, {50, 50}, {150, 150});
    std::vector<Points> contours;
    cv::findContours(exact.clone(), contours, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);
    ASSERT_EQ(cv::contourArea(contours[0]), 10000.0);
    EXPECT_TRUE(findIn(exact).empty());

    // One more pixel left of the top-left corner adds a half-pixel triangle.
    cv::Mat above = exact.clone();
    above.at<uchar>(50, 49) = 255;
    cv::findContours(above.clone(), contours, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);
    ASSERT_EQ(cv::contourArea(contours[0]), 10000.5);
    EXPECT_FALSE(findIn(above).empty());
}

TEST(FindSectionContour, TheLastContourListedAboveTheMinimumIsTakenNotTheLargest) {
    // cv::findContours lists the lower square first.
    cv::Mat searched = cv::Mat::zeros(400, 400, CV_8UC1);
    cv::rectangle(searched, {20, 20}, {150, 150}, 255, cv::FILLED);
    cv::rectangle(searched, {170, 170}, {380, 380}, 255, cv::FILLED);
    EXPECT_EQ(findIn(searched), (Points{{20, 150}, {150, 150}, {150, 20}}));
}

TEST(FindSectionContour, ALargeHoleIsNeverTakenForTheSection) {
    cv::Mat searched = cv::Mat::zeros(400, 400, CV_8UC1);
    cv::circle(searched, {200, 200}, 150, cv::Scalar(255), cv::FILLED);
    cv::circle(searched, {200, 200}, 80, cv::Scalar(0), cv::FILLED);  // about 20000 pixels
    const Points contour = findIn(searched);
    ASSERT_FALSE(contour.empty());
    for (const cv::Point& p : contour) EXPECT_GT(std::hypot(p.x - 200, p.y - 200), 140);
}

TEST(FindSectionContour, DrawsEveryContourInItsOwnColourWhateverItsArea) {
    cv::Mat searched = cv::Mat::zeros(100, 300, CV_8UC1);
    for (int x : {20, 120, 220}) cv::rectangle(searched, {x, 40}, {x + 20, 60}, 255, cv::FILLED);
    cv::Mat drawing = cv::Mat::zeros(searched.size(), CV_8UC3);
    EXPECT_TRUE(findSectionContour(searched, drawing, 10000.0).empty());

    std::set<std::tuple<int, int, int>> colours;
    for (int y = 0; y < drawing.rows; ++y) {
        for (int x = 0; x < drawing.cols; ++x) {
            const cv::Vec3b c = drawing.at<cv::Vec3b>(y, x);
            if (c != cv::Vec3b(0, 0, 0)) colours.insert({c[0], c[1], c[2]});
        }
    }
    const std::set<std::tuple<int, int, int>> expected{
        {203, 143, 254}, {229, 109, 176}, {192, 220, 177}};
    EXPECT_EQ(colours, expected);
}

TEST(GetAllPointsOfContour, WalksEachSegmentOfTheOpenChain) {
    const Points kept{{20, 20}, {23, 20}, {23, 22}};
    const Points all = getAllPointsOfContour(kept, {100, 100});
    EXPECT_EQ(all, (Points{{20, 20}, {21, 20}, {22, 20}, {23, 20}, {23, 20}, {23, 21}, {23, 22}}));
    EXPECT_EQ(removeConsecutiveDuplicates(all),
              (Points{{20, 20}, {21, 20}, {22, 20}, {23, 20}, {23, 21}, {23, 22}}));
    EXPECT_TRUE(getAllPointsOfContour({{40, 40}}, {100, 100}).empty());
}

TEST(GetAllPointsOfContour, EmptyContourEndsTheRunWithItsConsoleLine) {
    try {
        getAllPointsOfContour({}, {100, 100});
        FAIL() << "no error raised";
    } catch (const SectionError& error) {
        EXPECT_TRUE(error.isConsoleLine);
        EXPECT_STREQ(error.what(), "Erreur \xC3\xA0 getAllPointsOfContour : contour.size()=0");
    }
}

TEST(RemoveConsecutiveDuplicates, DropsOnlyAdjacentRepeats) {
    EXPECT_EQ(removeConsecutiveDuplicates({{1, 1}, {1, 1}, {2, 2}, {1, 1}}),
              (Points{{1, 1}, {2, 2}, {1, 1}}));
    EXPECT_EQ(removeConsecutiveDuplicates({{1, 1}, {1, 2}, {2, 2}}),
              (Points{{1, 1}, {1, 2}, {2, 2}}));
    EXPECT_TRUE(removeConsecutiveDuplicates({}).empty());
}

TEST(RequireMeasurableOutline, NeedsSixtyPoints) {
    EXPECT_THROW(requireMeasurableOutline(Points(59)), SectionError);
    EXPECT_THROW(requireMeasurableOutline(Points{}), SectionError);
    EXPECT_NO_THROW(requireMeasurableOutline(Points(60)));
}
