#include "leaflet_crop/upright_crop.h"
#include "leaflet_crop/output_files.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <string>
#include <utility>

using namespace plantscan::leaflet;

namespace {

// A scan that is nowhere black, so that a pixel left unwarped cannot pass for the black border.
cv::Mat makeTexturedScan(cv::Size size, std::uint64_t seed) {
    cv::Mat scan(size, CV_8UC3);
    cv::RNG rng(seed);
    rng.fill(scan, cv::RNG::UNIFORM, cv::Scalar::all(1), cv::Scalar::all(256));
    cv::GaussianBlur(scan, scan, cv::Size(0, 0), 1.5);
    return scan;
}

// The crop as the rule states it: rotate the whole scan, then sample the patch.
cv::Mat cropFullSize(const cv::Mat& source, const cv::RotatedRect& box) {
    float angle = box.angle;
    int w = cvRound(box.size.width);
    int h = cvRound(box.size.height);
    if (angle < -45) {
        angle += 90;
        std::swap(w, h);
    }
    cv::Mat rotated;
    cv::warpAffine(source, rotated, cv::getRotationMatrix2D(box.center, angle, 1.0), source.size(),
                   cv::INTER_CUBIC, cv::BORDER_CONSTANT, 0);
    cv::Mat crop;
    cv::getRectSubPix(rotated, cv::Size(w, h), box.center, crop, -1);
    return crop;
}

bool identical(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

}  // namespace

TEST(CropFileName, JoinsFolderInputPathAndIndex) {
    EXPECT_EQ(cropFileName("leaflet.jpg", 0), "PETALES/leaflet.jpg_0.jpg");
    EXPECT_EQ(cropFileName("leaflet.jpg", 12), "PETALES/leaflet.jpg_12.jpg");
    EXPECT_EQ(cropFileName("scans/a.png", 1000), "PETALES/scans/a.png_1000.jpg");
    EXPECT_EQ(cropFileName("", 3), "PETALES/_3.jpg");
}

TEST(UprightCut, TurnsBoxesBelowMinus45AQuarterBackWithSidesExchanged) {
    struct Case {
        float angle;
        double turn;
        cv::Size patch;
    };
    // Box 100.4 x 39.6 rounds to 100 x 40.
    for (const Case& c :
         {Case{-45, -45, {100, 40}}, Case{-60, 30, {40, 100}}, Case{-90, 0, {40, 100}},
          Case{-44.5f, -44.5, {100, 40}}, Case{-45.5f, 44.5, {40, 100}}, Case{-1, -1, {100, 40}}}) {
        const cv::RotatedRect box({50.5f, 60.25f}, {100.4f, 39.6f}, c.angle);
        const UprightCut cut = uprightCut(box);
        EXPECT_EQ(cut.patchSize, c.patch) << c.angle;
        EXPECT_EQ(cut.center, box.center);
        const cv::Mat expected = cv::getRotationMatrix2D(box.center, c.turn, 1.0);
        EXPECT_EQ(cv::norm(cut.rotation, expected, cv::NORM_INF), 0) << c.angle;
    }
}

TEST(PatchSourceRect, CoversEveryPixelGetRectSubPixReads) {
    // Pixels outside the rectangle are scrambled; the patch must not change.
    const cv::Size imageSize(97, 61);
    const cv::Mat image = makeTexturedScan(imageSize, 7);
    cv::RNG rng(11);
    for (int trial = 0; trial < 2000; ++trial) {
        const cv::Size patch(rng.uniform(1, 140), rng.uniform(1, 100));
        const cv::Point2f center(rng.uniform(-60.f, 160.f), rng.uniform(-60.f, 120.f));
        const cv::Rect rect = patchSourceRect(imageSize, patch, center);
        ASSERT_EQ(rect & cv::Rect(cv::Point(), imageSize), rect);

        cv::Mat scrambled(imageSize, image.type());
        rng.fill(scrambled, cv::RNG::UNIFORM, cv::Scalar::all(0), cv::Scalar::all(256));
        image(rect).copyTo(scrambled(rect));
        cv::Mat expected, actual;
        cv::getRectSubPix(image, patch, center, expected, -1);
        cv::getRectSubPix(scrambled, patch, center, actual, -1);
        ASSERT_TRUE(identical(expected, actual)) << patch << " at " << center;
    }
}

TEST(WarpAffineRegion, GivesTheFullWarpsPixelsInTheRegion) {
    const cv::Mat source = makeTexturedScan({211, 157}, 3);
    cv::RNG rng(5);
    for (int trial = 0; trial < 200; ++trial) {
        const cv::Point2f center(rng.uniform(-20.f, 230.f), rng.uniform(-20.f, 180.f));
        const double angle = trial < 8 ? 45.0 * (trial - 4) : rng.uniform(-180.0, 180.0);
        const cv::Mat transform = cv::getRotationMatrix2D(center, angle, 1.0);
        cv::Mat full;
        cv::warpAffine(source, full, transform, source.size(), cv::INTER_CUBIC, cv::BORDER_CONSTANT,
                       0);

        const int x = rng.uniform(0, source.cols), y = rng.uniform(0, source.rows);
        const cv::Rect region(x, y, rng.uniform(1, source.cols - x + 1),
                              rng.uniform(1, source.rows - y + 1));
        cv::Mat warped(source.size(), source.type(), cv::Scalar::all(0));
        warpAffineRegion(source, transform, warped, region);
        ASSERT_TRUE(identical(full(region), warped(region)))
            << "angle " << angle << " region " << region;
    }
}

TEST(CropUpright, IsByteIdenticalToRotatingTheWholeScan) {
    const cv::Size scanSize(320, 240);
    const cv::Mat source = makeTexturedScan(scanSize, 1);
    cv::RNG rng(2);
    std::vector<cv::RotatedRect> boxes;
    const cv::Point2f corners[] = {{0, 0}, {319, 0}, {0, 239}, {319, 239}};
    for (const cv::Point2f& corner : corners)
        for (float angle : {-90.f, -60.f, -45.f, -30.f, -1.f})
            boxes.emplace_back(
                corner, cv::Size2f(rng.uniform(30.f, 150.f), rng.uniform(30.f, 90.f)), angle);
    for (float angle : {-90.f, -45.f, -45.0001f, -44.9999f})
        boxes.emplace_back(cv::Point2f(160.5f, 120.25f), cv::Size2f(101.5f, 40.5f), angle);
    for (int i = 0; i < 300; ++i) {
        // Centres reach a little beyond the scan, boxes up to larger than it.
        const cv::Point2f center(rng.uniform(-10.f, 330.f), rng.uniform(-10.f, 250.f));
        const cv::Size2f size(rng.uniform(30.f, i % 10 == 0 ? 500.f : 160.f),
                              rng.uniform(30.f, 120.f));
        boxes.emplace_back(center, size, rng.uniform(-90.f, 0.f));
    }
    for (const cv::RotatedRect& box : boxes) {
        // Fast crop first: its unwritten pixels could otherwise be the reference's, left in freed
        // memory.
        const cv::Mat crop = cropUpright(source, box);
        const cv::Mat expected = cropFullSize(source, box);
        ASSERT_EQ(crop.type(), CV_8UC3);
        ASSERT_TRUE(identical(expected, crop))
            << "box at " << box.center << " size " << box.size << " angle " << box.angle;
    }
}
