#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

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

// Vertical stripes shift visibly if a row is copied with the wrong length.
void Stripes(CFrameImage& frame) {
    for (uint32_t row = 0; row < frame.Height(); ++row) {
        for (uint32_t x = 0; x < frame.Width(); ++x) {
            uint8_t* p = frame.Bits() + (size_t(row) * frame.Width() + x) * 3;
            const bool band = (x / 10) % 2 == 0;
            p[0] = band ? 230 : 20;
            p[1] = uint8_t(row * 4);
            p[2] = band ? 20 : 230;
        }
    }
}

TEST_F(SnapshotTest, OddWidthsAreSavedWithoutSkewAndDecodeToTheSameRows) {
    for (uint32_t width : {350u, 352u, 7u}) {
        CFrameImage frame;
        ASSERT_EQ(1, frame.Create(width, 40));
        Stripes(frame);
        const std::string path = (folder / ("frame" + std::to_string(width) + ".jpg")).string();
        ASSERT_EQ(1, SaveSnapshot(frame, path)) << width;

        const std::string jpeg = test::ReadWholeFile(path);
        std::vector<uint8_t> decoded(frame.Size());
        uint32_t size = uint32_t(jpeg.size());
        ASSERT_EQ(1, DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.data()), size, decoded.data(),
                                uint32_t(decoded.size())));
        ASSERT_EQ(frame.Size(), size);
        // Away from stripe edges (where 2x2 chroma blurs), every pixel matches.
        int worst = 0;
        for (uint32_t row = 0; row < frame.Height(); ++row)
            for (uint32_t x = 0; x < width; ++x) {
                if (x % 10 < 2 || x % 10 > 7) continue;
                for (int c = 0; c < 3; ++c) {
                    const size_t i = (size_t(row) * width + x) * 3 + c;
                    worst = std::max(worst, std::abs(int(decoded[i]) - int(frame.Bits()[i])));
                }
            }
        EXPECT_LT(worst, 16) << width;
    }
}

TEST_F(SnapshotTest, NothingIsWrittenWithoutAFrameOrAFolder) {
    CFrameImage empty;
    CJpegImage image;
    EXPECT_EQ(0, CopyFrameToJpegImage(empty, image));
    EXPECT_EQ(0, SaveSnapshot(empty, (folder / "empty.jpg").string()));
    CFrameImage frame;
    ASSERT_EQ(1, frame.Create(8, 8));
    frame.Fill(128);
    EXPECT_EQ(0, SaveSnapshot(frame, (folder / "missing" / "frame.jpg").string()));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST(SnapshotFileName, IsTheLocalTimeWithUnderscores) {
    const std::tm t{.tm_sec = 59, .tm_min = 3, .tm_hour = 14, .tm_mday = 31, .tm_mon = 4, .tm_year = 2007 - 1900};
    EXPECT_EQ("2007_05_31_14_03_59.jpg", SnapshotFileName(t));
    EXPECT_EQ(23u, SnapshotFileName().size());
}

}  // namespace
}  // namespace corvanta
