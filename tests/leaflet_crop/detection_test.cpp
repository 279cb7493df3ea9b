#include "leaflet_crop/detection.h"
#include "leaflet_crop/upright_crop.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

using namespace plantscan::leaflet;

namespace {

const cv::Scalar kBackground(20, 25, 15);
const cv::Scalar kLeafletColour(90, 200, 120);

// The outline colours the generator seeded with 12345 gives, outline by outline.
const cv::Vec3b kOutlineColours[] = {
    {203, 143, 254}, {229, 109, 176}, {192, 220, 177}, {142, 229, 9}};

cv::Mat binarize(const cv::Mat& scan) {
    return binarizeScan(scan, [](const std::string&, const cv::Mat&) {});
}

cv::Mat inColour(const cv::Mat& blackAndWhite) {
    cv::Mat colour;
    cv::cvtColor(blackAndWhite, colour, cv::COLOR_GRAY2BGR);
    return colour;
}

bool identical(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

std::vector<std::vector<cv::Point>> outlinesOf(const cv::Mat& blackAndWhite) {
    std::vector<std::vector<cv::Point>> outlines;
    cv::findContours(blackAndWhite, outlines, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    return outlines;
}

// A filled rectangle of 101 x 126 pixels: its outline is 2 * 100 + 2 * 125 = 450 long.
void drawRectangleOfPerimeter450(cv::Mat& scan, cv::Point topLeft) {
    cv::rectangle(scan, cv::Rect(topLeft, cv::Size(101, 126)), kLeafletColour, cv::FILLED);
}

}  // namespace

TEST(BinarizeScan, HandsGrayThenBlackAndWhiteToTheWriterAndThresholdsAbove50) {
    cv::Mat scan(4, 3, CV_8UC3, cv::Scalar::all(50));
    scan.at<cv::Vec3b>(1, 1) = cv::Vec3b(51, 51, 51);
    scan.at<cv::Vec3b>(2, 2) = cv::Vec3b(255, 255, 255);
    std::vector<std::string> names;
    std::vector<cv::Mat> images;
    const cv::Mat blackAndWhite =
        binarizeScan(scan, [&](const std::string& name, const cv::Mat& image) {
            names.push_back(name);
            images.push_back(image.clone());
        });

    ASSERT_EQ(names, (std::vector<std::string>{"gray.bmp", "bw.jpg"}));
    cv::Mat gray(4, 3, CV_8UC1, cv::Scalar(50));
    gray.at<uchar>(1, 1) = 51;
    gray.at<uchar>(2, 2) = 255;
    EXPECT_TRUE(identical(images[0], gray));
    cv::Mat expected(4, 3, CV_8UC1, cv::Scalar(0));
    expected.at<uchar>(1, 1) = 255;
    expected.at<uchar>(2, 2) = 255;
    EXPECT_TRUE(identical(images[1], expected));
    EXPECT_TRUE(identical(blackAndWhite, expected));
}

TEST(FindLeafletBoxes, OutlineOfExactly450IsNotALeafletAndOneJustLongerIs) {
    cv::Mat scan(300, 400, CV_8UC3, kBackground);
    drawRectangleOfPerimeter450(scan, {20, 20});
    const cv::Mat exact = binarize(scan);
    ASSERT_EQ(cv::arcLength(outlinesOf(exact).at(0), true), 450.0);
    const LeafletBoxes none = findLeafletBoxes(exact);
    EXPECT_TRUE(none.boxes.empty());
    EXPECT_TRUE(identical(none.drawing, inColour(exact)));

    // One pixel on the top edge: two diagonal steps replace two straight ones.
    scan.at<cv::Vec3b>(19, 70) = cv::Vec3b(90, 200, 120);
    const cv::Mat longer = binarize(scan);
    const double perimeter = cv::arcLength(outlinesOf(longer).at(0), true);
    ASSERT_GT(perimeter, 450.0);
    ASSERT_LT(perimeter, 451.0);
    const LeafletBoxes one = findLeafletBoxes(longer);
    ASSERT_EQ(one.boxes.size(), 1u);
    EXPECT_EQ(one.drawing.at<cv::Vec3b>(19, 70), kOutlineColours[0]);
}

TEST(FindLeafletBoxes, NothingFoundLeavesTheDrawingTheBlackAndWhiteImageInColour) {
    cv::Mat scan(200, 300, CV_8UC3, kBackground);
    cv::circle(scan, {40, 40}, 5, kLeafletColour, cv::FILLED);
    cv::circle(scan, {250, 150}, 8, kLeafletColour, cv::FILLED);
    // Large, but no lighter than 50 in gray: background.
    cv::rectangle(scan, cv::Rect(60, 60, 150, 100), cv::Scalar::all(50), cv::FILLED);
    const cv::Mat blackAndWhite = binarize(scan);
    const LeafletBoxes found = findLeafletBoxes(blackAndWhite);
    EXPECT_TRUE(found.boxes.empty());
    EXPECT_TRUE(identical(found.drawing, inColour(blackAndWhite)));

    const LeafletBoxes empty = findLeafletBoxes(cv::Mat::zeros(50, 60, CV_8UC1));
    EXPECT_TRUE(empty.boxes.empty());
    EXPECT_TRUE(identical(empty.drawing, cv::Mat::zeros(50, 60, CV_8UC3)));
}

TEST(FindLeafletBoxes, ColourFollowsThePositionInTheOutlineListSelectedOrNot) {
    cv::Mat scan(400, 500, CV_8UC3, kBackground);
    cv::circle(scan, {30, 30}, 6, kLeafletColour, cv::FILLED);
    cv::circle(scan, {470, 370}, 6, kLeafletColour, cv::FILLED);
    cv::ellipse(scan, {150, 120}, {100, 45}, 20, 0, 360, kLeafletColour, cv::FILLED);
    cv::ellipse(scan, {330, 280}, {110, 50}, -35, 0, 360, kLeafletColour, cv::FILLED);
    const cv::Mat blackAndWhite = binarize(scan);
    const auto outlines = outlinesOf(blackAndWhite);
    ASSERT_EQ(outlines.size(), 4u);

    const LeafletBoxes found = findLeafletBoxes(blackAndWhite);
    ASSERT_EQ(found.boxes.size(), 2u);
    std::vector<size_t> selected;
    for (size_t i = 0; i < outlines.size(); ++i) {
        const cv::Vec3b atOutline = found.drawing.at<cv::Vec3b>(outlines[i][0]);
        if (cv::arcLength(outlines[i], true) > 450) {
            selected.push_back(i);
            EXPECT_EQ(atOutline, kOutlineColours[i]) << "outline " << i;
        } else {
            EXPECT_EQ(atOutline, cv::Vec3b(255, 255, 255)) << "outline " << i;
        }
    }
    // The layout makes a speck come first, so a leaflet takes a later colour.
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_NE(selected[0], 0u);
    // Boxes in outline order.
    EXPECT_EQ(found.boxes[0].center,
              toNegativeAngle(cv::minAreaRect(outlines[selected[0]])).center);
}

TEST(ToNegativeAngle, KeepsTheRectangleAndBringsTheAngleIntoMinus90To0) {
    // cv::minAreaRect reports (0, 90] here; angles already in [-90, 0) stay as they are.
    for (float angle = -90; angle <= 90; angle += 2.5f) {
        const cv::RotatedRect box({100.5f, 80.25f}, {120, 40}, angle);
        const cv::RotatedRect converted = toNegativeAngle(box);
        EXPECT_GE(converted.angle, -90.f);
        EXPECT_LT(converted.angle, 0.f);
        EXPECT_EQ(converted.center, box.center);
        cv::Point2f before[4], after[4];
        box.points(before);
        converted.points(after);
        for (const cv::Point2f& corner : before) {
            const double nearest =
                std::min({cv::norm(corner - after[0]), cv::norm(corner - after[1]),
                          cv::norm(corner - after[2]), cv::norm(corner - after[3])});
            EXPECT_LT(nearest, 1e-3) << "angle " << angle;
        }
    }
    EXPECT_EQ(toNegativeAngle(cv::RotatedRect({0, 0}, {120, 40}, 90)).size, cv::Size2f(120, 40));
    EXPECT_EQ(toNegativeAngle(cv::RotatedRect({0, 0}, {120, 40}, 90)).angle, -90.f);
    EXPECT_EQ(toNegativeAngle(cv::RotatedRect({0, 0}, {120, 40}, 30)).size, cv::Size2f(40, 120));
    EXPECT_EQ(toNegativeAngle(cv::RotatedRect({0, 0}, {120, 40}, 30)).angle, -60.f);
    EXPECT_EQ(toNegativeAngle(cv::RotatedRect({0, 0}, {120, 40}, -45)).angle, -45.f);
}

// A rectangle drawn at any angle comes back as a box 15 pixels larger on every side, drawn in
// red, and its crop shows it upright with the 15-pixel margin all round.
TEST(LeafletBoxesAndCrops, DrawnRectanglesAtManyAnglesComeOutUpright) {
    std::vector<double> angles = {0, 45, 90, 135, 180, -45, -90};
    for (double angle = -178; angle < 180; angle += 11) angles.push_back(angle);
    const cv::Size2f leaflet(180, 70);
    for (const double angle : angles) {
        cv::Mat scan(320, 360, CV_8UC3, kBackground);
        const cv::RotatedRect drawn({180, 160}, leaflet, static_cast<float>(angle));
        cv::Point2f corners[4];
        drawn.points(corners);
        const std::vector<cv::Point> polygon(std::begin(corners), std::end(corners));
        cv::fillConvexPoly(scan, polygon, kLeafletColour);

        const LeafletBoxes found = findLeafletBoxes(binarize(scan));
        ASSERT_EQ(found.boxes.size(), 1u) << angle;
        const cv::RotatedRect& box = found.boxes[0];
        EXPECT_GE(box.angle, -90.f);
        EXPECT_LT(box.angle, 0.f);

        const cv::RotatedRect enlarged(drawn.center, leaflet + cv::Size2f(30, 30), drawn.angle);
        cv::Point2f expectedCorners[4], boxCorners[4];
        enlarged.points(expectedCorners);
        box.points(boxCorners);
        for (const cv::Point2f& corner : expectedCorners) {
            double nearest = 1e9;
            for (const cv::Point2f& boxCorner : boxCorners)
                nearest = std::min(nearest, cv::norm(corner - boxCorner));
            EXPECT_LT(nearest, 2.0) << "angle " << angle;
        }
        for (int k = 0; k < 4; ++k) {
            const cv::Point2f middle = (boxCorners[k] + boxCorners[(k + 1) % 4]) * 0.5f;
            EXPECT_EQ(found.drawing.at<cv::Vec3b>(cv::Point(middle)), cv::Vec3b(0, 0, 255))
                << "angle " << angle;
        }

        const cv::Mat crop = cropUpright(scan, box);
        EXPECT_EQ(crop.size(), cropUpright(scan, box).size());
        const cv::Size longSideFirst(std::max(crop.cols, crop.rows),
                                     std::min(crop.cols, crop.rows));
        EXPECT_NEAR(longSideFirst.width, 210, 2) << "angle " << angle;
        EXPECT_NEAR(longSideFirst.height, 100, 2) << "angle " << angle;
        cv::Mat gray;
        cv::cvtColor(crop, gray, cv::COLOR_BGR2GRAY);
        for (int y = 0; y < gray.rows; ++y)
            for (int x = 0; x < gray.cols; ++x) {
                const int fromEdge = std::min({x, y, gray.cols - 1 - x, gray.rows - 1 - y});
                if (fromEdge < 12) {
                    ASSERT_LE(gray.at<uchar>(y, x), 50)
                        << "angle " << angle << " at " << x << "," << y;
                } else if (fromEdge > 18) {
                    ASSERT_GT(gray.at<uchar>(y, x), 50)
                        << "angle " << angle << " at " << x << "," << y;
                }
            }
    }
}
