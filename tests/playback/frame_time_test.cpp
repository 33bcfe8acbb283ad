// The time and number shown under a player's slider, from the start of the
// second index, its table and the file's rate.

#include <gtest/gtest.h>

#include <vector>

#include "archive/ArchiveRecords.h"
#include "playback/FrameTime.h"

namespace corvanta {
namespace {

constexpr uint32_t kNone = kNoFrameInSecond;
const platform::SystemTime kStart{2026, 12, 0, 31, 23, 59, 58, 0};

// A table of `seconds` full seconds of `perSecond` frames each.
std::vector<uint32_t> Steady(uint32_t seconds, uint32_t perSecond) {
    std::vector<uint32_t> table;
    for (uint32_t s = 0; s < seconds; ++s) table.push_back(s * perSecond);
    return table;
}

TEST(FrameTimeText, OnlyTheNumberUntilAStartIsKnown) {
    FrameTimeText text;
    text.Open(1, 25, 6000);
    EXPECT_EQ("frame 1234 / 6000", text.Text(1233));
    EXPECT_EQ("frame 6000 / 6000", text.Text(7000));  // never past the last frame
    text.Open(1, 25, 0);
    EXPECT_EQ("frame 1 / 1", text.Text(0));
}

TEST(FrameTimeText, AConstantRateGivesTheFrameAcrossMidnightAndTheYear) {
    FrameTimeText text;
    text.Open(1, 25, 100);
    const auto table = Steady(4, 25);
    text.SetIndex(kStart, table);
    EXPECT_FALSE(text.Approximate());
    EXPECT_TRUE(text.ToTheFrame());
    EXPECT_EQ("2026-12-31 23:59:58.000   frame 1 / 100", text.Text(0));
    EXPECT_EQ("2026-12-31 23:59:59.440   frame 37 / 100", text.Text(36));
    EXPECT_EQ("2027-01-01 00:00:01.960   frame 100 / 100", text.Text(99));
}

TEST(FrameTimeText, AVaryingRateOrAGapGivesTheSecondOfTheIndex) {
    FrameTimeText text;
    text.Open(1, 25, 60);
    const std::vector<uint32_t> varying{0, 25, 40, 55};
    text.SetIndex(kStart, varying);
    EXPECT_FALSE(text.ToTheFrame());
    EXPECT_EQ("2026-12-31 23:59:59   frame 40 / 60", text.Text(39));
    EXPECT_EQ("2027-01-01 00:00:00   frame 41 / 60", text.Text(40));

    // Seconds without frames inside the file: the frames after the gap
    // belong to the second the table names, not to start + frame / rate.
    const std::vector<uint32_t> gap{0, 25, kNone, kNone, 50, 75};
    text.Open(1, 25, 100);
    text.SetIndex(kStart, gap);
    EXPECT_FALSE(text.Approximate());
    EXPECT_EQ("2027-01-01 00:00:02   frame 51 / 100", text.Text(50));
    EXPECT_EQ("2027-01-01 00:00:03   frame 100 / 100", text.Text(99));
}

TEST(FrameTimeText, NoIndexOrAShortOneFallsBackToTheRateMarkedApproximate) {
    FrameTimeText text;
    text.Open(2, 25, 100);  // 12.5 frames a second
    text.SetIndex(kStart, {});
    EXPECT_TRUE(text.Approximate());
    EXPECT_EQ("\xE2\x89\x88 2026-12-31 23:59:58.080   frame 2 / 100", text.Text(1));
    EXPECT_EQ("\xE2\x89\x88 2026-12-31 23:59:59.600   frame 21 / 100", text.Text(20));

    text.Open(1, 25, 200);
    const auto shortTable = Steady(4, 25);  // 100 of 200 frames
    text.SetIndex(kStart, shortTable);
    EXPECT_TRUE(text.Approximate());
    EXPECT_EQ("\xE2\x89\x88 2027-01-01 00:00:04.000   frame 151 / 200", text.Text(150));

    // Frame numbers that go backwards are dropped, not believed.
    text.Open(1, 25, 50);
    const std::vector<uint32_t> backwards{0, 25, 10};
    text.SetIndex(kStart, backwards);
    EXPECT_FALSE(text.Approximate());
    EXPECT_EQ("2026-12-31 23:59:59.400   frame 36 / 50", text.Text(35));

    // A new file forgets the start until it is told again.
    text.Open(1, 25, 50);
    EXPECT_FALSE(text.HasStart());
    EXPECT_EQ("frame 3 / 50", text.Text(2));
}

}  // namespace
}  // namespace corvanta
