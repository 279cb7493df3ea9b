#include "geometry/drawing.h"
#include "geometry/printing.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace plantscan::geometry;

TEST(Console, PrintPointAndCircle) {
    std::ostringstream console;
    printPoint({12, 34}, console);
    printCircle(Circle(412, {1020, 998}), console);
    EXPECT_EQ(console.str(),
              "Point( x = 12, y = 34)\nRadius : 412 Center : Point(x =1020 , y =998)\n");
}

TEST(Drawing, CrossAndCircleLandInTheCallersImage) {
    cv::Mat image = cv::Mat::zeros(60, 60, CV_8UC3);
    drawCross(image, {30, 30}, cv::Scalar(0, 0, 255));
    EXPECT_EQ(image.at<cv::Vec3b>(20, 20), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(image.at<cv::Vec3b>(40, 20), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(image.at<cv::Vec3b>(30, 30), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(image.at<cv::Vec3b>(30, 20), cv::Vec3b(0, 0, 0));

    cv::Mat canvas = cv::Mat::zeros(60, 60, CV_8UC3);
    drawCircle(Circle(20, {30, 30}), canvas);
    EXPECT_EQ(canvas.at<cv::Vec3b>(30, 50), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(canvas.at<cv::Vec3b>(30, 30), cv::Vec3b(0, 0, 0));
}

}  // namespace
