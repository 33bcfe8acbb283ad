#include <gtest/gtest.h>

#include <filesystem>

#include "playback/Snapshot.h"
#include "services/service_test_env.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

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
