// Tests of the synthetic scans: determinism, gray ranges, geometry of what is drawn.
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace plantscan::tools;

namespace {

const double kPi = 3.14159265358979323846;

SectionScanParams smallSection() {
    SectionScanParams p;
    p.width = 240;
    p.height = 200;
    p.center = cv::Point2d(118.3, 101.7);
    p.radius = 80;
    p.rotationDeg = 23;
    p.seed = 7;
    return p;
}

cv::Mat toGray(const cv::Mat& bgr) {
    cv::Mat g;
    cv::cvtColor(bgr, g, cv::COLOR_BGR2GRAY);
    return g;
}

// 255 where gray <= 50, as section_measure's threshold and inversion give.
cv::Mat darkMask(const cv::Mat& bgr) {
    cv::Mat m;
    cv::threshold(toGray(bgr), m, 50, 255, cv::THRESH_BINARY_INV);
    return m;
}

double maxDistance(const std::vector<cv::Point2d>& poly, cv::Point2d c) {
    double d = 0;
    for (const auto& p : poly) d = std::max(d, std::hypot(p.x - c.x, p.y - c.y));
    return d;
}

double minDistance(const std::vector<cv::Point2d>& poly, cv::Point2d c) {
    double d = 1e300;
    for (const auto& p : poly) d = std::min(d, std::hypot(p.x - c.x, p.y - c.y));
    return d;
}

std::vector<cv::Point2f> toFloat(const std::vector<cv::Point2d>& poly) {
    std::vector<cv::Point2f> f;
    for (const auto& p : poly) f.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
    return f;
}

double polygonArea(const std::vector<cv::Point2d>& poly) { return cv::contourArea(toFloat(poly)); }
double polygonPerimeter(const std::vector<cv::Point2d>& poly) {
    return cv::arcLength(toFloat(poly), true);
}

int countDiff(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat x;
    cv::bitwise_xor(a, b, x);
    return cv::countNonZero(x);
}

// The same parameters give the same pixels; another seed changes most of them.
template <typename Params, typename Make>
void expectSameScanForSameSeed(Params p, Make make, std::uint64_t otherSeed) {
    const cv::Mat a = make(p), b = make(p);
    ASSERT_EQ(a.type(), CV_8UC3);
    ASSERT_EQ(a.size(), cv::Size(p.width, p.height));
    EXPECT_EQ(countDiff(a.reshape(1), b.reshape(1)), 0);
    p.seed = otherSeed;
    const cv::Mat c = make(p);
    EXPECT_GT(countDiff(a.reshape(1), c.reshape(1)), a.total());
}

}  // namespace

TEST(SectionPolygon, TipsAtRadiusHollowsAtDepth) {
    SectionScanParams p = smallSection();
    auto poly = sectionPolygon(p);
    ASSERT_GT(poly.size(), 100u);
    EXPECT_NEAR(maxDistance(poly, p.center), p.radius, 0.01 * p.radius);
    EXPECT_NEAR(minDistance(poly, p.center), (1 - p.hollowDepth) * p.radius, 0.01 * p.radius);
    // The tip of corner k lies in its direction.
    for (int k = 0; k < 5; ++k) {
        double a = sectionCornerAngle(p, k);
        cv::Point2d tip(p.center.x + p.radius * std::cos(a), p.center.y - p.radius * std::sin(a));
        double best = 1e300;
        for (const auto& q : poly) best = std::min(best, std::hypot(q.x - tip.x, q.y - tip.y));
        EXPECT_LT(best, 1.0) << "corner " << k;
        double h = sectionHollowAngle(p, k);
        cv::Point2d bottom(p.center.x + (1 - p.hollowDepth) * p.radius * std::cos(h),
                           p.center.y - (1 - p.hollowDepth) * p.radius * std::sin(h));
        best = 1e300;
        for (const auto& q : poly)
            best = std::min(best, std::hypot(q.x - bottom.x, q.y - bottom.y));
        EXPECT_LT(best, 1.0) << "hollow " << k;
    }
}

TEST(SectionPolygon, CornerZeroPointsUpWithoutRotation) {
    SectionScanParams p = smallSection();
    p.rotationDeg = 0;
    auto poly = sectionPolygon(p);
    auto top =
        *std::min_element(poly.begin(), poly.end(), [](auto& a, auto& b) { return a.y < b.y; });
    EXPECT_NEAR(top.x, p.center.x, 1.0);
    EXPECT_NEAR(top.y, p.center.y - p.radius, 0.5);
}

TEST(SectionPolygon, FlatSidesAreStraightAndShallower) {
    SectionScanParams p = smallSection();
    p.flatHollows = true;
    auto flat = sectionPolygon(p);
    EXPECT_NEAR(maxDistance(flat, p.center), p.radius, 0.01 * p.radius);
    double flatMin = minDistance(flat, p.center);
    EXPECT_GT(flatMin, (1 - p.hollowDepth) * p.radius + 5);
    // The middle of a flat side is the foot of the perpendicular from the centre: it lies at
    // the side's distance in the hollow direction.
    double h = sectionHollowAngle(p, 2);
    cv::Point2d mid(p.center.x + flatMin * std::cos(h), p.center.y - flatMin * std::sin(h));
    double best = 1e300;
    for (const auto& q : flat) best = std::min(best, std::hypot(q.x - mid.x, q.y - mid.y));
    EXPECT_LT(best, 1.0);
}

TEST(SectionPolygon, DoesNotDependOnSeed) {
    SectionScanParams a = smallSection(), b = smallSection();
    b.seed = 99;
    EXPECT_EQ(sectionPolygon(a), sectionPolygon(b));
}

TEST(SectionPolygon, ValidOverManyShapes) {
    for (double radius : {25.0, 60.0, 140.0})
        for (double rot : {0.0, 13.0, 47.5, 200.0})
            for (double depth : {0.0, 0.1, 0.25, 0.4})
                for (double round : {0.0, 0.5, 1.0})
                    for (bool flat : {false, true}) {
                        SectionScanParams p;
                        p.width = p.height = static_cast<int>(2 * radius + 20);
                        p.center = cv::Point2d(radius + 10, radius + 10);
                        p.radius = radius;
                        p.rotationDeg = rot;
                        p.hollowDepth = depth;
                        p.cornerRounding = round;
                        p.flatHollows = flat;
                        auto poly = sectionPolygon(p);
                        SCOPED_TRACE(testing::Message()
                                     << "r=" << radius << " rot=" << rot << " depth=" << depth
                                     << " round=" << round << " flat=" << flat);
                        EXPECT_NEAR(maxDistance(poly, p.center), radius, 0.01 * radius + 0.05);
                        double area = polygonArea(poly);
                        cv::Mat mask = polygonMask(poly, cv::Size(p.width, p.height));
                        // A simple (not self-crossing) polygon fills its own area, plus the half
                        // pixel band along its outline that cv::fillPoly includes.
                        double per = polygonPerimeter(poly);
                        EXPECT_NEAR(cv::countNonZero(mask), area + 0.5 * per, 0.15 * per + 4);
                        EXPECT_GT(area, 1.5 * radius * radius);
                    }
}

TEST(SectionScan, Deterministic) {
    SectionScanParams p = smallSection();
    p.holeRadius = 12;
    p.crackWidth = 4;
    p.crackLength = 30;
    expectSameScanForSameSeed(p, makeSectionScan, 8);
}

TEST(SectionScan, GrayRangesAndThresholdMatchesPolygon) {
    SectionScanParams p = smallSection();
    cv::Mat scan = makeSectionScan(p);
    cv::Mat gray = toGray(scan);
    auto poly = sectionPolygon(p);
    cv::Mat inside = polygonMask(poly, scan.size());
    cv::Mat outside;
    cv::bitwise_not(inside, outside);
    double lo, hi;
    cv::minMaxLoc(gray, &lo, &hi, nullptr, nullptr, inside);
    EXPECT_LE(hi, 45);
    EXPECT_GE(lo, 8);
    cv::minMaxLoc(gray, &lo, &hi, nullptr, nullptr, outside);
    EXPECT_GE(lo, 120);
    EXPECT_LE(hi, 232);
    // Textured: not flat inside or outside.
    cv::Scalar mean, sd;
    cv::meanStdDev(gray, mean, sd, inside);
    EXPECT_GT(sd[0], 1.5);
    cv::meanStdDev(gray, mean, sd, outside);
    EXPECT_GT(sd[0], 3.0);
    // The threshold at 50 finds exactly the drawn polygon, whose area is the polygon's area.
    cv::Mat dark = darkMask(scan);
    EXPECT_EQ(countDiff(dark, inside), 0);
    double per = polygonPerimeter(poly);
    EXPECT_NEAR(cv::countNonZero(dark), polygonArea(poly) + 0.5 * per, 0.15 * per);
    // The outline that findContours follows (through the centres of the border pixels) lies on
    // the drawn polygon.
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(dark.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    ASSERT_EQ(contours.size(), 1u);
    EXPECT_NEAR(cv::contourArea(contours[0]), polygonArea(poly), 0.1 * per);
    // Slightly tinted.
    cv::Scalar bgr = cv::mean(scan, inside);
    EXPECT_NE(bgr[0], bgr[2]);
}

TEST(SectionScan, SectionPartlyOutsideTheImage) {
    SectionScanParams p = smallSection();
    p.center = cv::Point2d(10, 190);
    cv::Mat scan = makeSectionScan(p);
    EXPECT_EQ(countDiff(darkMask(scan), polygonMask(sectionPolygon(p), scan.size())), 0);
}

TEST(SectionScan, HoleAndCrackAreLight) {
    SectionScanParams p = smallSection();
    p.holeRadius = 15;
    p.crackWidth = 5;
    p.crackLength = 35;
    cv::Mat scan = makeSectionScan(p);
    cv::Mat gray = toGray(scan);
    // Hole: everything within the pith radius is light.
    cv::Mat hole = cv::Mat::zeros(scan.size(), CV_8UC1);
    cv::circle(hole, cv::Point(cvRound(p.center.x), cvRound(p.center.y)), 14, cv::Scalar(255),
               cv::FILLED);
    double lo;
    cv::minMaxLoc(gray, &lo, nullptr, nullptr, nullptr, hole);
    EXPECT_GT(lo, 120);
    // Crack: its polygon is light, and it reaches from outside the rim to crackLength inside.
    auto crack = sectionCrackPolygon(p);
    ASSERT_EQ(crack.size(), 4u);
    cv::Mat crackMask = polygonMask(crack, scan.size());
    ASSERT_GT(cv::countNonZero(crackMask), 100);
    cv::minMaxLoc(gray, &lo, nullptr, nullptr, nullptr, crackMask);
    EXPECT_GT(lo, 120);
    // Along the crack direction, the dark section is interrupted from the rim inward.
    double a = sectionCornerAngle(p, 0) + p.crackAngleDeg * kPi / 180;
    int lightRun = 0;
    bool inCrack = false;
    for (double r = p.radius + 2; r > 0; r -= 0.5) {
        int x = cvRound(p.center.x + r * std::cos(a)), y = cvRound(p.center.y - r * std::sin(a));
        bool light = gray.at<uchar>(y, x) > 120;
        if (!light) break;
        inCrack = true;
        ++lightRun;
    }
    EXPECT_TRUE(inCrack);
    // Without the hole and crack, the threshold mask is the polygon; with them it loses them.
    cv::Mat expected = polygonMask(sectionPolygon(p), scan.size());
    expected.setTo(0, crackMask);
    cv::Mat holeDrawn = darkMask(scan);
    EXPECT_EQ(cv::countNonZero(holeDrawn & hole), 0);
    EXPECT_EQ(cv::countNonZero(holeDrawn & crackMask), 0);
    EXPECT_EQ(countDiff(holeDrawn | hole, expected | hole) <= 2 * cv::countNonZero(hole), true);
}

TEST(SectionScan, NoCrackPolygonWithoutCrack) {
    EXPECT_TRUE(sectionCrackPolygon(smallSection()).empty());
}

namespace {

LeafletScanParams smallLeaflets() {
    LeafletScanParams p;
    p.width = 700;
    p.height = 460;
    Leaf a;
    a.center = cv::Point2d(190, 130);
    a.length = 260;
    a.width = 100;
    a.angleDeg = 0;
    Leaf b;
    b.center = cv::Point2d(520, 240);
    b.length = 280;
    b.width = 110;
    b.angleDeg = 90;
    Leaf c;
    c.center = cv::Point2d(220, 340);
    c.length = 250;
    c.width = 90;
    c.angleDeg = -35;
    p.leaves = {a, b, c};
    p.specks = 25;
    p.seed = 3;
    return p;
}

}  // namespace

TEST(LeafPolygon, LengthWidthAndAngle) {
    for (double angle : {0.0, 30.0, 90.0, 135.0}) {
        Leaf l;
        l.center = cv::Point2d(300, 200);
        l.length = 240;
        l.width = 90;
        l.angleDeg = angle;
        auto poly = leafPolygon(l);
        cv::RotatedRect r = cv::minAreaRect(toFloat(poly));
        double longSide = std::max(r.size.width, r.size.height),
               shortSide = std::min(r.size.width, r.size.height);
        EXPECT_NEAR(longSide, 240, 2);
        EXPECT_NEAR(shortSide, 90, 2);
        EXPECT_NEAR(r.center.x, 300, 12);
        EXPECT_NEAR(r.center.y, 200, 12);
        // The end of the length axis lies at angle (counter-clockwise on screen).
        double a = angle * kPi / 180;
        cv::Point2d tip(300 + 120 * std::cos(a), 200 - 120 * std::sin(a));
        double best = 1e300;
        for (const auto& q : poly) best = std::min(best, std::hypot(q.x - tip.x, q.y - tip.y));
        EXPECT_LT(best, 1.5) << angle;
    }
}

TEST(LeafletScan, Deterministic) {
    LeafletScanParams p = smallLeaflets();
    expectSameScanForSameSeed(p, makeLeafletScan, 4);
}

TEST(LeafletScan, LightLeavesDarkBackgroundSmallSpecks) {
    LeafletScanParams p = smallLeaflets();
    cv::Mat scan = makeLeafletScan(p);
    cv::Mat gray = toGray(scan);
    cv::Mat leaves = cv::Mat::zeros(scan.size(), CV_8UC1);
    for (const Leaf& l : p.leaves) leaves |= polygonMask(leafPolygon(l), scan.size());
    double lo, hi;
    cv::minMaxLoc(gray, &lo, &hi, nullptr, nullptr, leaves);
    EXPECT_GE(lo, 110);
    EXPECT_LE(hi, 225);
    cv::Scalar bgr = cv::mean(scan, leaves);
    EXPECT_GT(bgr[1], bgr[2]);  // greenish
    EXPECT_GT(bgr[2], bgr[0]);

    // Light pixels (as leaflet_crop thresholds them) are the leaves exactly, plus the specks.
    cv::Mat light;
    cv::threshold(gray, light, 50, 255, cv::THRESH_BINARY);
    EXPECT_EQ(cv::countNonZero(leaves & ~light), 0);
    cv::Mat extra = light & ~leaves;
    EXPECT_GT(cv::countNonZero(extra), 0);
    EXPECT_LT(cv::countNonZero(extra), p.specks * 30);
    // The dark background stays below 40.
    cv::minMaxLoc(gray, nullptr, &hi, nullptr, nullptr, ~light);
    EXPECT_LT(hi, 40);

    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(light.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    int big = 0, small = 0;
    for (const auto& c : contours) {
        double per = cv::arcLength(c, true);
        if (per > 450) {
            ++big;
        } else {
            ++small;
            EXPECT_LT(per, 40);
        }
    }
    EXPECT_EQ(big, 3);
    EXPECT_GE(small, p.specks / 2);
    EXPECT_LE(small, p.specks);
}

TEST(LeafletScan, NoLeavesNoLeaflet) {
    LeafletScanParams p = smallLeaflets();
    p.leaves.clear();
    cv::Mat gray = toGray(makeLeafletScan(p));
    cv::Mat light;
    cv::threshold(gray, light, 50, 255, cv::THRESH_BINARY);
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(light, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    EXPECT_GE(contours.size(), 1u);
    for (const auto& c : contours) EXPECT_LT(cv::arcLength(c, true), 40);
}

TEST(LeafletScan, DefaultLayoutFitsAndDoesNotOverlap) {
    for (cv::Size s : {cv::Size(2000, 1500), cv::Size(1600, 1200), cv::Size(800, 600)}) {
        auto leaves = defaultLeafLayout(s.width, s.height);
        EXPECT_GE(leaves.size(), 4u);
        cv::Mat sum = cv::Mat::zeros(s, CV_8UC1);
        int total = 0;
        for (const Leaf& l : leaves) {
            auto poly = leafPolygon(l);
            for (const auto& q : poly) {
                EXPECT_GT(q.x, 10);
                EXPECT_GT(q.y, 10);
                EXPECT_LT(q.x, s.width - 10);
                EXPECT_LT(q.y, s.height - 10);
            }
            cv::Mat m = polygonMask(poly, s);
            total += cv::countNonZero(m);
            sum |= m;
        }
        EXPECT_EQ(cv::countNonZero(sum), total);
    }
}
