#include "resources/resources.h"
#include "resources/memory_need.h"

#include <gtest/gtest.h>

using namespace plantscan::resources;

TEST(MemoryNeed, TheTightestLimitDecidesAndABatchShareStandsForTheSharedOnes) {
    constexpr std::uint64_t MB = 1024 * 1024;
    const MemoryNeed need{200, 50 * MB};
    const std::uint64_t pixels = 4 * MB;  // 800 MB + 50 MB
    MemoryRoom room;
    EXPECT_TRUE(checkMemory(pixels, need, room, std::nullopt).fits);  // nothing known

    room.available = 20000 * MB;
    room.groupLeft = 600 * MB;
    MemoryVerdict verdict = checkMemory(pixels, need, room, std::nullopt);
    EXPECT_FALSE(verdict.fits);
    EXPECT_EQ(verdict.needed, 850 * MB);
    EXPECT_EQ(verdict.available, 600 * MB);
    EXPECT_EQ(verdict.limit, MemoryLimit::GROUP);
    const std::string french = memoryShortageMessage(verdict, "a.jpg", Language::FRENCH);
    EXPECT_NE(french.find("« a.jpg » : l'image demande environ 850 Mo et 600 Mo"),
              std::string::npos)
        << french;
    const std::string english = memoryShortageMessage(verdict, "a.jpg", Language::ENGLISH);
    EXPECT_NE(english.find("\"a.jpg\": the scan needs about 850 MB and 600 MB"), std::string::npos)
        << english;

    // The batch budgeted 900 MB for this child out of the job's memory: it is not refused for
    // what its siblings hold.
    verdict = checkMemory(pixels, need, room, 900 * MB);
    EXPECT_TRUE(verdict.fits);
    EXPECT_EQ(verdict.limit, MemoryLimit::SHARE);
    room.processLeft = 700 * MB;  // each process's own
    EXPECT_EQ(checkMemory(pixels, need, room, 900 * MB).limit, MemoryLimit::PROCESS);

    EXPECT_EQ(parseMemoryShare("943718400"), 943718400u);
    for (const char* bad : {"", "-5", "12 MB", "1e9", "99999999999999999999999"}) {
        EXPECT_FALSE(parseMemoryShare(bad)) << bad;
    }
    EXPECT_FALSE(parseMemoryShare(nullptr));
}

TEST(MemoryNeed, WhatTheProcessAlreadyHoldsIsCountedOnceInItsNeedNotAgainAsUsage) {
    constexpr std::uint64_t MB = 1024 * 1024;
    const MemoryNeed need{100, 50 * MB};
    const std::uint64_t pixels = 2 * MB;  // 250 MB, the 40 MB held at start included
    MemoryRoom room;
    room.groupLeft = 220 * MB;  // the limit less a usage that counts those 40 MB
    room.held = 40 * MB;
    MemoryVerdict verdict = checkMemory(pixels, need, room, std::nullopt);
    EXPECT_TRUE(verdict.fits);
    EXPECT_EQ(verdict.available, 260 * MB);
    room.available = 205 * MB;
    verdict = checkMemory(pixels, need, room, std::nullopt);
    EXPECT_FALSE(verdict.fits);
    EXPECT_EQ(verdict.limit, MemoryLimit::AVAILABLE);
    EXPECT_EQ(verdict.available, 245 * MB);
    // A batch's share is the whole child's, its memory at start included.
    EXPECT_FALSE(checkMemory(pixels, need, room, 220 * MB).fits);
}
