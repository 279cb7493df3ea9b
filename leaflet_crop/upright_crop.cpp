#include "leaflet_crop/upright_crop.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <utility>

namespace plantscan::leaflet {

namespace {

// The fixed-point layout cv::warpAffine uses to build its map before calling cv::remap.
constexpr int kAbBits = 10;
constexpr int kAbScale = 1 << kAbBits;
constexpr int kInterBits = 5;
constexpr int kInterTabSize = 1 << kInterBits;
constexpr int kRoundDelta = kAbScale / kInterTabSize / 2;

// getRectSubPix's reads stay within one pixel of its anchor rectangle; two more make float
// rounding of the anchor harmless.
constexpr int kReadMargin = 2;

}  // namespace

UprightCut uprightCut(const cv::RotatedRect& box) {
    float angle = box.angle;
    cv::Size size(cvRound(box.size.width), cvRound(box.size.height));
    if (angle < -45) {
        angle += 90;
        std::swap(size.width, size.height);
    }
    return {cv::getRotationMatrix2D(box.center, angle, 1.0), size, box.center};
}

cv::Rect patchSourceRect(cv::Size imageSize, cv::Size patchSize, cv::Point2f center) {
    const float anchorX = center.x - (patchSize.width - 1) * 0.5f;
    const float anchorY = center.y - (patchSize.height - 1) * 0.5f;
    const int left = cvFloor(anchorX);
    const int top = cvFloor(anchorY);
    // Outside the image getRectSubPix replicates the edge, so the reads clamp to it.
    const int x0 = std::clamp(left - kReadMargin, 0, imageSize.width - 1);
    const int x1 = std::clamp(left + patchSize.width + kReadMargin, 0, imageSize.width - 1);
    const int y0 = std::clamp(top - kReadMargin, 0, imageSize.height - 1);
    const int y1 = std::clamp(top + patchSize.height + kReadMargin, 0, imageSize.height - 1);
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void warpAffineRegion(const cv::Mat& source, const cv::Mat& transform, cv::Mat& warped,
                      const cv::Rect& region) {
    cv::Mat_<double> matrix;
    transform.convertTo(matrix, CV_64F);
    double m[6];
    std::copy(matrix.begin(), matrix.end(), m);

    // warpAffine samples through the inverse transform, inverted this way.
    double d = m[0] * m[4] - m[1] * m[3];
    d = d != 0 ? 1. / d : 0;
    const double a11 = m[4] * d;
    const double a22 = m[0] * d;
    m[0] = a11;
    m[1] *= -d;
    m[3] *= -d;
    m[4] = a22;
    const double b1 = -m[0] * m[2] - m[1] * m[5];
    const double b2 = -m[3] * m[2] - m[4] * m[5];
    m[2] = b1;
    m[5] = b2;

    // Each output pixel's map entry depends only on its absolute coordinates, so building it
    // for the region alone gives the entries the full-size map has there.
    cv::Mat xy(region.size(), CV_16SC2);
    cv::Mat fraction(region.size(), CV_16UC1);
    for (int row = 0; row < region.height; ++row) {
        const int y = region.y + row;
        const std::int64_t x0 = cv::saturate_cast<int>((m[1] * y + m[2]) * kAbScale) + kRoundDelta;
        const std::int64_t y0 = cv::saturate_cast<int>((m[4] * y + m[5]) * kAbScale) + kRoundDelta;
        auto* xyRow = xy.ptr<short>(row);
        auto* fractionRow = fraction.ptr<unsigned short>(row);
        for (int col = 0; col < region.width; ++col) {
            const int x = region.x + col;
            const int sx = static_cast<int>((x0 + cv::saturate_cast<int>(m[0] * x * kAbScale)) >>
                                            (kAbBits - kInterBits));
            const int sy = static_cast<int>((y0 + cv::saturate_cast<int>(m[3] * x * kAbScale)) >>
                                            (kAbBits - kInterBits));
            xyRow[2 * col] = cv::saturate_cast<short>(sx >> kInterBits);
            xyRow[2 * col + 1] = cv::saturate_cast<short>(sy >> kInterBits);
            fractionRow[col] = static_cast<unsigned short>(
                (sy & (kInterTabSize - 1)) * kInterTabSize + (sx & (kInterTabSize - 1)));
        }
    }
    cv::Mat target = warped(region);
    cv::remap(source, target, xy, fraction, cv::INTER_CUBIC, cv::BORDER_CONSTANT, cv::Scalar());
}

cv::Mat cropUpright(const cv::Mat& source, const cv::RotatedRect& box) {
    const UprightCut cut = uprightCut(box);
    // Full size but left unwritten outside the region read: getRectSubPix's edge handling
    // depends on the image size, and pages never touched cost nothing.
    cv::Mat rotated;
    rotated.create(source.size(), source.type());
    warpAffineRegion(source, cut.rotation, rotated,
                     patchSourceRect(source.size(), cut.patchSize, cut.center));
    cv::Mat crop;
    cv::getRectSubPix(rotated, cut.patchSize, cut.center, crop, -1);
    return crop;
}

}  // namespace plantscan::leaflet
