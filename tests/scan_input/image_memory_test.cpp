#include "scan_input/image_memory.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

#ifdef __linux__
constexpr std::uintptr_t LARGE_PAGE = std::uintptr_t{2} << 20;

// Whether the mapping that holds `address` is marked for large pages ("hg" in its VmFlags).
bool markedForLargePages(std::uintptr_t address) {
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(maps, line)) {
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> begin >> dash >> end && dash == '-') {
            inside = begin <= address && address < end;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return (line + " ").find(" hg ") != std::string::npos;
        }
    }
    ADD_FAILURE() << "no mapping holds " << std::hex << address;
    return false;
}

// A large image asks for large pages over every whole large page it holds, and nowhere beyond
// it (the memory on either side belongs to others); its pixels and its release are OpenCV's.
TEST(ImageMemory, LargeImagesAskForLargePagesWithinThemselves) {
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage"))
        GTEST_SKIP() << "this system has no transparent huge pages";
    plantscan::input::backImagesWithLargePages();
    for (int round = 0; round < 3; ++round) {
        cv::Mat image(2001, 2003, CV_8UC3, cv::Scalar(round, 2, 3));
        const auto begin = reinterpret_cast<std::uintptr_t>(image.data);
        const std::uintptr_t end = begin + image.total() * image.elemSize();
        const std::uintptr_t first = (begin + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
        const std::uintptr_t last = end & ~(LARGE_PAGE - 1);
        ASSERT_GT(last, first + LARGE_PAGE);
        EXPECT_TRUE(markedForLargePages(first));
        EXPECT_TRUE(markedForLargePages(last - 1));
        if (first > begin) {
            EXPECT_FALSE(markedForLargePages(first - 1));
        }
        if (end > last) {
            EXPECT_FALSE(markedForLargePages(last));
        }
        EXPECT_EQ(image.at<cv::Vec3b>(2000, 2002), cv::Vec3b(round, 2, 3));
    }
}
#endif

}  // namespace
