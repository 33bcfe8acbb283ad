#include <gtest/gtest.h>

#include <filesystem>

#include "playback/Snapshot.h"
#include "services/service_test_env.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

TEST(FrameImage, RowsAreUnpaddedAndRefusedSizesLeaveNothingBehind) {
    CFrameImage picture;
    ASSERT_EQ(1, picture.Create(7, 5));  // 21-byte rows: no padding to 24
    EXPECT_EQ(7u * 5u * 3u, picture.Size());
    EXPECT_EQ(5, picture.Header().height);  // positive: bottom row first
    for (auto [w, h] : {std::pair{0u, 10u}, {65536u, 65536u}}) {
        ASSERT_EQ(1, picture.Create(4, 4));
        EXPECT_EQ(0, picture.Create(w, h)) << w << "x" << h;
        EXPECT_EQ(nullptr, picture.Bits());
        EXPECT_EQ(0u, picture.Width() + picture.Height() + picture.Size());
        picture.Fill(1);  // nothing to fill, nothing to crash
    }
}

class SnapshotTest : public ::testing::Test {
protected:
    test::ServiceWorld world{false};
    const fs::path folder = fs::current_path();  // the world's empty work folder
};

TEST_F(SnapshotTest, NothingIsWrittenWithoutAFrameOrAFolder) {
    CFrameImage empty;
    EXPECT_EQ(0, SaveSnapshot(empty, (folder / "empty.jpg").string()));
    CFrameImage frame;
    ASSERT_EQ(1, frame.Create(8, 8));
    frame.Fill(128);
    EXPECT_EQ(0, SaveSnapshot(frame, (folder / "missing" / "frame.jpg").string()));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST(SnapshotFileName, IsTheLocalTimeWithUnderscores) {
    std::tm t{};
    t.tm_sec = 59, t.tm_min = 3, t.tm_hour = 14, t.tm_mday = 31, t.tm_mon = 4, t.tm_year = 2007 - 1900;
    EXPECT_EQ("2007_05_31_14_03_59.jpg", SnapshotFileName(t));
}

}  // namespace
}  // namespace corvanta
