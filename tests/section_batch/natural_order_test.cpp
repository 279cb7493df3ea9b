#include "batch/scans.h"
#include "test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace plantscan::batch;

namespace fs = std::filesystem;

namespace {

// The order a user expects, written out by hand.
const std::vector<std::string> EXPECTED{
    "B.jpg",  // uppercase letters come before lowercase ones, as bytes do
    "coupe.jpg",
    "coupe_1.jpg",
    "coupe_1.tif",  // a proper prefix comes first
    "coupe_1.tiff",
    "coupe_002.jpg",  // 2 = 02 = 2: the bytes break the tie, '0' before '2'
    "coupe_02.jpg",
    "coupe_2.jpg",
    "coupe_2b.jpg",
    "coupe_007.jpg",
    "coupe_10.jpg",
    "coupe_99999999999999999999.jpg",  // longer than any machine integer
    "coupe_100000000000000000000.jpg",
    "coupe_a.jpg",
    "lot2_coupe10.jpg",
    "lot10_coupe2.jpg",
    "\xC3\xA9t\xC3\xA9_1.jpg",  // "été": bytes above ASCII come last
};

}  // namespace

TEST(NaturalOrder, DigitsCompareAsNumbersAndBytesBreakTies) {
    std::vector<std::string> names = EXPECTED;
    std::reverse(names.begin(), names.end());
    std::swap(names[2], names[9]);
    sortNaturally(names);
    EXPECT_EQ(names, EXPECTED);

    // A total order: two different names are never left equal, or machines listing a
    // folder in different orders would disagree on the positions shards are cut from.
    for (const std::string& a : EXPECTED) {
        EXPECT_FALSE(naturalLess(a, a)) << a;
        for (const std::string& b : EXPECTED) {
            if (a == b) continue;
            EXPECT_NE(naturalLess(a, b), naturalLess(b, a)) << a << " / " << b;
        }
    }
}

TEST(NaturalOrder, TheFolderListAndItsShardsFollowItAndCoverEveryScanOnce) {
    TestFolder folder("section_batch_natural");
    for (const std::string& name : EXPECTED) writeBytes(folder.path() / fs::u8path(name), "x");
    const std::vector<std::string> listed = listScans(folder.path());
    EXPECT_EQ(listed, EXPECTED);

    for (const long count : {1L, 2L, 3L, 4L, 16L, 17L}) {
        std::map<std::string, int> seen;
        for (long shard = 0; shard < count; ++shard) {
            for (const std::string& name : selectShard(listed, shard, count)) ++seen[name];
        }
        ASSERT_EQ(seen.size(), listed.size()) << count << " shards";
        for (const auto& [name, times] : seen) EXPECT_EQ(times, 1) << name << ", " << count;
    }
}
