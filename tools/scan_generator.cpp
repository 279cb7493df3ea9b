// scan_generator: writes one synthetic scan (a cane section or a leaflet scan) with cv::imwrite.
#include "tools/scan_synth.h"

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace plantscan::tools {

namespace {

const char* kUsage =
    "usage:\n"
    "  scan_generator section OUT [--width W] [--height H] [--seed S] [--radius R] [--cx X] [--cy "
    "Y]\n"
    "                 [--rotation DEG] [--hollow-depth F] [--rounding F] [--flat] [--hole R] "
    "[--crack W L]\n"
    "                 [--sensor-noise SIGMA] [--colour-cast AMPLITUDE]\n"
    "  scan_generator leaflet OUT [--width W] [--height H] [--seed S] [--specks N]\n"
    "                 [--leaf CX,CY,LENGTH,WIDTH,ANGLE]...\n"
    "  scan_generator noise OUT [--width W] [--height H] [--seed S]\n"
    "  scan_generator --help\n"
    "Section defaults: 1000 x 1000, radius 0.35 * min(W, H), centred, hollow depth 0.25, rounding "
    "0.5.\n"
    "Leaflet defaults: 2000 x 1500, 40 specks, five leaves laid out over the image when no --leaf "
    "is given.\n"
    "--sensor-noise and --colour-cast give a scanner's many colours (3 and 6: over 100 000 at "
    "2000 x 2000).\n"
    "noise: every channel of every pixel at random, 1000 x 1000 by default (grabCut's costliest "
    "input).\n"
    "Angles in degrees, counter-clockwise on screen. The image format follows OUT's extension.\n";

struct UsageError {
    std::string message;
};

double toDouble(const std::string& opt, const std::string& s) {
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0' || errno != 0)
        throw UsageError{opt + ": not a number: '" + s + "'"};
    return v;
}

long long toInt(const std::string& opt, const std::string& s, long long lo) {
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno != 0)
        throw UsageError{opt + ": not an integer: '" + s + "'"};
    if (v < lo) throw UsageError{opt + ": must be at least " + std::to_string(lo)};
    return v;
}

Leaf parseLeaf(const std::string& s) {
    std::vector<double> v;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, ',')) v.push_back(toDouble("--leaf", item));
    if (v.size() != 5) throw UsageError{"--leaf wants CX,CY,LENGTH,WIDTH,ANGLE, got '" + s + "'"};
    if (v[2] <= 0 || v[3] <= 0) throw UsageError{"--leaf: length and width must be positive"};
    Leaf l;
    l.center = cv::Point2d(v[0], v[1]);
    l.length = v[2];
    l.width = v[3];
    l.angleDeg = v[4];
    return l;
}

namespace {

// The section's options that set one of its numbers as given.
struct NumberOption {
    const char* name;
    double SectionScanParams::*field;
};
constexpr NumberOption SECTION_NUMBERS[] = {
    {"--rotation", &SectionScanParams::rotationDeg},
    {"--hollow-depth", &SectionScanParams::hollowDepth},
    {"--rounding", &SectionScanParams::cornerRounding},
    {"--hole", &SectionScanParams::holeRadius},
    {"--sensor-noise", &SectionScanParams::sensorNoise},
    {"--colour-cast", &SectionScanParams::colourCast},
};

int run(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (args.size() < 2)
        throw UsageError{"missing kind (section, leaflet or noise) or output file"};
    const std::string kind = args[0], out = args[1];
    if (kind != "section" && kind != "leaflet" && kind != "noise")
        throw UsageError{"unknown kind '" + kind + "'"};
    const bool section = kind == "section";
    const bool leaflet = kind == "leaflet";

    SectionScanParams sp;
    LeafletScanParams lp;
    int width = leaflet ? 2000 : 1000, height = leaflet ? 1500 : 1000;
    std::uint64_t seed = 1;
    bool haveRadius = false, haveCx = false, haveCy = false;

    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& opt = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError{opt + " needs a value"};
            return args[++i];
        };
        if (opt == "--width") {
            width = static_cast<int>(toInt(opt, value(), 1));
        } else if (opt == "--height") {
            height = static_cast<int>(toInt(opt, value(), 1));
        } else if (opt == "--seed") {
            seed = static_cast<std::uint64_t>(toInt(opt, value(), 0));
        } else if (section && opt == "--radius") {
            sp.radius = toDouble(opt, value());
            if (sp.radius <= 0) throw UsageError{"--radius must be positive"};
            haveRadius = true;
        } else if (section && opt == "--cx") {
            sp.center.x = toDouble(opt, value());
            haveCx = true;
        } else if (section && opt == "--cy") {
            sp.center.y = toDouble(opt, value());
            haveCy = true;
        } else if (section && opt == "--flat") {
            sp.flatHollows = true;
        } else if (section && opt == "--crack") {
            sp.crackWidth = toDouble(opt, value());
            sp.crackLength = toDouble(opt, value());
        } else if (const auto number = std::find_if(
                       std::begin(SECTION_NUMBERS), std::end(SECTION_NUMBERS),
                       [&](const NumberOption& o) { return opt == o.name; });
                   section && number != std::end(SECTION_NUMBERS)) {
            sp.*(number->field) = toDouble(opt, value());
        } else if (leaflet && opt == "--specks") {
            lp.specks = static_cast<int>(toInt(opt, value(), 0));
        } else if (leaflet && opt == "--leaf") {
            lp.leaves.push_back(parseLeaf(value()));
        } else {
            throw UsageError{"unknown option '" + opt + "' for " + kind};
        }
    }

    cv::Mat image;
    if (section) {
        sp.width = width;
        sp.height = height;
        sp.seed = seed;
        if (!haveCx) sp.center.x = width / 2.0;
        if (!haveCy) sp.center.y = height / 2.0;
        if (!haveRadius) sp.radius = 0.35 * std::min(width, height);
        image = makeSectionScan(sp);
    } else if (leaflet) {
        lp.width = width;
        lp.height = height;
        lp.seed = seed;
        if (lp.leaves.empty()) lp.leaves = defaultLeafLayout(width, height);
        image = makeLeafletScan(lp);
    } else {
        image = makeNoiseScan(cv::Size(width, height), seed);
    }
    bool ok = false;
    try {
        ok = cv::imwrite(out, image);
    } catch (const cv::Exception& e) {
        std::cerr << "scan_generator: " << e.what() << "\n";
    }
    if (!ok) {
        std::cerr << "scan_generator: cannot write '" << out << "'\n";
        return 1;
    }
    return 0;
}

}  // namespace

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return run(args);
    } catch (const UsageError& e) {
        std::cerr << "scan_generator: " << e.message << "\n" << kUsage;
        return 2;
    }
}

}  // namespace

}  // namespace plantscan::tools

int main(int argc, char** argv) { return plantscan::tools::run(argc, argv); }
