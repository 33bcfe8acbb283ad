#include <gtest/gtest.h>

#include "playback/CFrameImage.h"

namespace corvanta {
namespace {

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

}  // namespace
}  // namespace corvanta
