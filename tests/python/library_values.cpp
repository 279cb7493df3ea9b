// library_values SCAN [RAW]: the scan's size, then the library's numbers for SCAN under the
// Python module's names, every digit, for the module's tests. With RAW, also writes the scan as
// read into RAW, its B, G, R bytes row after row.
#include "plantscan/plantscan.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

void print(const std::string& name, double value) {
    std::printf("%s %.17g\n", name.c_str(), value);
}

void printPerLobe(const char* name, const std::array<double, plantscan::LOBE_COUNT>& values) {
    for (int k = 0; k < plantscan::LOBE_COUNT; ++k)
        print(std::string(name) + "_" + std::to_string(k + 1), values[k]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const cv::Mat scan = plantscan::readScan(argv[1]);
    if (argc > 2) {
        std::ofstream raw(argv[2], std::ios::binary);
        for (int y = 0; y < scan.rows; ++y)
            raw.write(scan.ptr<char>(y), static_cast<std::streamsize>(scan.cols * 3));
    }
    std::printf("size %d %d\n", scan.rows, scan.cols);
    const plantscan::SectionMeasurement m = plantscan::measureSection(scan);
    print("width", m.width);
    print("circumscribed_diameter", m.circumscribedDiameter);
    print("inscribed_diameter", m.inscribedDiameter);
    printPerLobe("corner_radius", m.cornerRadii);
    printPerLobe("hollow_radius", m.hollowRadii);
    printPerLobe("hollow_depth", m.hollowDepths);
    printPerLobe("hollow_distance", m.hollowDistances);
    printPerLobe("hollow_ratio", m.hollowRatios);
    return 0;
}
