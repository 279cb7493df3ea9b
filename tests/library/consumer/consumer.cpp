// A program of another project, built against an installed plantscan: prints the report of the
// scan it is given.
#include <plantscan/plantscan.h>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    try {
        const plantscan::SectionMeasurement m =
            plantscan::measureSection(plantscan::readScan(argv[1]));
        std::cout << plantscan::formatReport(m);
    } catch (const plantscan::Error& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    return 0;
}
