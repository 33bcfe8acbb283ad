#include <gtest/gtest.h>

#include "playback/CFrameImage.h"

namespace corvanta {
namespace {

TEST(FrameImage, HoldsUnpaddedBottomUpRowsDescribedByItsHeader) {
    CFrameImage picture;
    EXPECT_EQ(nullptr, picture.Bits());
    ASSERT_EQ(1, picture.Create(7, 5));  // 21-byte rows: no padding to 24
    EXPECT_EQ(7u * 5u * 3u, picture.Size());
    EXPECT_EQ(7, picture.Header().width);
    EXPECT_EQ(5, picture.Header().height);  // positive: bottom row first

    picture.Fill(0x5A);
    for (uint32_t i = 0; i < picture.Size(); ++i) ASSERT_EQ(0x5A, picture.Bits()[i]) << i;

    ASSERT_EQ(1, picture.Create(2, 3));
    EXPECT_EQ(18u, picture.Size());
    EXPECT_EQ(2, picture.Header().width);
}

TEST(FrameImage, RefusedSizesAndFreeLeaveNothingBehind) {
    CFrameImage picture;
    for (auto [w, h] : {std::pair{0u, 10u}, {10u, 0u}, {65536u, 65536u}}) {
        ASSERT_EQ(1, picture.Create(4, 4));
        EXPECT_EQ(0, picture.Create(w, h)) << w << "x" << h;
        EXPECT_EQ(nullptr, picture.Bits());
        EXPECT_EQ(0u, picture.Width() + picture.Height() + picture.Size());
        picture.Fill(1);  // nothing to fill, nothing to crash
    }
    ASSERT_EQ(1, picture.Create(4, 4));
    picture.Free();
    EXPECT_EQ(nullptr, picture.Bits());
    EXPECT_EQ(0u, picture.Width() + picture.Height() + picture.Size());
    EXPECT_EQ(0u, picture.Header().size);
}

}  // namespace
}  // namespace corvanta
