// Every seed and past finding of the fuzz targets, replayed by the plain suite.
#include "byte_parsers.h"
#include "mask_pipeline.h"

#include "section_measure/section.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace plantscan::section;

namespace fs = std::filesystem;

namespace {

// The files of a corpus folder, at least one.
std::vector<std::vector<std::uint8_t>> corpus(const std::string& name) {
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(FUZZ_CORPORA) / name)) {
        std::ifstream file(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    EXPECT_FALSE(inputs.empty()) << name;
    return inputs;
}

}  // namespace

TEST(FuzzCorpora, EveryByteParserSeedKeepsItsProperties) {
    for (const auto& [name, parser] :
         std::vector<std::pair<std::string, void (*)(const std::uint8_t*, std::size_t)>>{
             {"jpeg_markers", fuzzJpegMarkers},
             {"image_header", fuzzImageHeader},
             {"image_resolution", fuzzImageResolution},
             {"status_file", fuzzStatusFile},
             {"measurement_report", fuzzMeasurementReport},
             {"leaflet_report", fuzzLeafletReport},
             {"results_page", fuzzResultsPage}}) {
        for (const std::vector<std::uint8_t>& input : corpus(name))
            parser(input.data(), input.size());
    }
}

TEST(FuzzCorpora, EverySectionSeedIsMeasuredOrRefusedAsUnmeasurable) {
    std::cout.setstate(std::ios::failbit);  // the stages print every value
    for (const std::vector<std::uint8_t>& input : corpus("section")) {
        const cv::Mat mask = decodeMask(input.data(), input.size());
        if (mask.empty()) continue;
        try {
            measureMask(mask);
        } catch (const SectionError&) {
        }
    }
    std::cout.clear();
}
