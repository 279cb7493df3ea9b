#include "geometry/printing.h"

namespace plantscan::geometry {

void printPoint(cv::Point q, std::ostream& console) {
    console << "Point( x = " << q.x << ", y = " << q.y << ")" << std::endl;
}

void printCircle(const Circle& circle, std::ostream& console) {
    console << "Radius : " << circle.radius << " Center : Point(x =" << circle.center.x
            << " , y =" << circle.center.y << ")" << std::endl;
}

}  // namespace plantscan::geometry
