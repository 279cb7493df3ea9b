#include "mask_pipeline.h"

#include "section_measure/pipeline.h"
#include "section_measure/report.h"
#include "section_measure/segmentation.h"

#include <algorithm>
#include <ostream>

using namespace plantscan::section;

namespace {

constexpr std::size_t HEADER_BYTES = 4;
constexpr int MAX_CELLS = 32;
constexpr int MIN_CELL_SIZE = 1;
constexpr int MAX_CELL_SIZE = 16;

}  // namespace

cv::Mat decodeMask(const std::uint8_t* data, std::size_t size) {
    if (size < HEADER_BYTES) return cv::Mat();
    const int columns = 1 + data[0] % MAX_CELLS;
    const int rows = 1 + data[1] % MAX_CELLS;
    const int cellSize = MIN_CELL_SIZE + data[2] % MAX_CELL_SIZE;
    const bool close = (data[3] & 1) != 0;

    cv::Mat mask = cv::Mat::zeros(rows * cellSize, columns * cellSize, CV_8UC1);
    for (int cell = 0; cell < rows * columns; ++cell) {
        const std::size_t byte = HEADER_BYTES + static_cast<std::size_t>(cell / 8);
        if (byte >= size || ((data[byte] >> (cell % 8)) & 1) == 0) continue;
        const cv::Rect area((cell % columns) * cellSize, (cell / columns) * cellSize, cellSize,
                            cellSize);
        mask(area).setTo(255);
    }
    if (close) {
        cv::Mat sectionMask;
        cv::bitwise_not(mask, sectionMask);
        cv::bitwise_not(applyOpening(sectionMask, OPENING_RADIUS), mask);
    }
    return mask;
}

std::vector<std::uint8_t> encodeMask(const cv::Mat& mask, int cellSize, bool close) {
    const int columns = mask.cols / cellSize;
    const int rows = mask.rows / cellSize;
    std::vector<std::uint8_t> bytes(HEADER_BYTES +
                                    static_cast<std::size_t>(rows * columns + 7) / 8);
    bytes[0] = static_cast<std::uint8_t>(columns - 1);
    bytes[1] = static_cast<std::uint8_t>(rows - 1);
    bytes[2] = static_cast<std::uint8_t>(cellSize - MIN_CELL_SIZE);
    bytes[3] = close ? 1 : 0;
    for (int cell = 0; cell < rows * columns; ++cell) {
        if (mask.at<uchar>((cell / columns) * cellSize, (cell % columns) * cellSize) != 0) {
            bytes[HEADER_BYTES + static_cast<std::size_t>(cell / 8)] |=
                static_cast<std::uint8_t>(1 << (cell % 8));
        }
    }
    return bytes;
}

std::string measureMask(const cv::Mat& foreground) {
    // A stream without a buffer formats nothing: the executions stay fast.
    std::ostream silent(nullptr);
    const RunOutputs outputs{silent, [](const std::string&, const cv::Mat&) {}, {}};
    const cv::Mat image = cv::Mat::zeros(foreground.size(), CV_8UC3);
    return formatMeasurementReport(
        measureForeground(foreground, image, foreground.size(), outputs).measurements);
}
