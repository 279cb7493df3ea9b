// The circumscribed circle's cost on traced section outlines: our search against
// cv::minEnclosingCircle, whose floats it must give, with the process's peak memory.
//
//   bench_smallest_circle    (outlines of five-lobed sections on 1000 to 4000 pixel scans)
#include "geometry/smallest_circle.h"

#include <opencv2/imgproc.hpp>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using Points = std::vector<cv::Point>;
using Clock = std::chrono::steady_clock;

// Every boundary pixel, in order, of a five-lobed section filling the middle of a square scan.
Points sectionOutline(int side) {
    Points polygon;
    for (int i = 0; i < 2000; ++i) {
        const double t = 2 * CV_PI * i / 2000;
        const double r = 0.35 * side * (1 - 0.12 * (1 + std::cos(5 * t + 0.3)));
        polygon.emplace_back(cvRound(side / 2.0 + r * std::cos(t)),
                             cvRound(side / 2.0 + r * std::sin(t)));
    }
    cv::Mat mask = cv::Mat::zeros(side, side, CV_8UC1);
    cv::fillPoly(mask, std::vector<Points>{polygon}, cv::Scalar(255));
    std::vector<Points> contours;
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    return contours.front();
}

// The fastest of three runs: the machine may be shared.
template <typename Find>
double millisecondsFor(Find find) {
    double fastest = 0;
    for (int run = 0; run < 3; ++run) {
        const Clock::time_point start = Clock::now();
        find();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        fastest = run == 0 ? ms : std::min(fastest, ms);
    }
    return fastest;
}

}  // namespace

int main() {
    bool same = true;
    std::printf("%6s %8s %12s %22s\n", "side", "points", "ours ms", "cv::minEnclosingCircle");
    for (const int side : {1000, 2000, 4000}) {
        const Points outline = sectionOutline(side);
        plantscan::geometry::FloatCircle ours;
        cv::Point2f centre;
        float radius = 0;
        const double fast =
            millisecondsFor([&] { ours = plantscan::geometry::smallestEnclosingCircle(outline); });
        const double slow =
            millisecondsFor([&] { cv::minEnclosingCircle(outline, centre, radius); });
        same = same && ours.center == centre && ours.radius == radius;
        std::printf("%6d %8zu %12.2f %19.2f ms\n", side, outline.size(), fast, slow);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s; peak memory %.0f MB\n", same ? "the same floats" : "DIFFERENT floats",
                usage.ru_maxrss / 1024.0);
    return same ? 0 : 1;
}
