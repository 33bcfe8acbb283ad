// Previews decoded at a reduced scale.

#include <gtest/gtest.h>

#include <vector>

#include "imaging/ScaledJpeg.h"
#include "JpegTestSupport.h"

namespace corvanta {
namespace {

// A frame of one colour (blue, green, red handed in), so any scale keeps it.
std::vector<uint8_t> Solid(int width, int height) {
    std::vector<uint8_t> bgr;
    for (int i = 0; i < width * height; ++i) bgr.insert(bgr.end(), {40, 120, 200});
    return test::EncodeJpeg({width, height}, bgr);
}

TEST(DecodeJpegScaled, ShrinksToTheSmallestFactorThatKeepsTheWidthAndGivesTopDownRgb) {
    struct Case {
        int width, height, minWidth, expectedWidth, expectedHeight;
    };
    // 704 / 4 = 176 (1/8 would be 88); 1600 / 8 = 200; 100 is kept as it is.
    for (const Case& c : {Case{704, 576, 160, 176, 144}, {1600, 1200, 160, 200, 150}, {100, 80, 160, 100, 80}}) {
        const std::vector<uint8_t> jpeg = Solid(c.width, c.height);
        const auto picture = DecodeJpegScaled(jpeg.data(), uint32_t(jpeg.size()), c.minWidth);
        ASSERT_TRUE(picture) << c.width;
        EXPECT_EQ(c.expectedWidth, picture->width) << c.width;
        EXPECT_EQ(c.expectedHeight, picture->height) << c.width;
        ASSERT_EQ(size_t(c.expectedWidth) * c.expectedHeight * 3, picture->rgb.size());
        const size_t middle = (size_t(picture->height / 2) * picture->width + picture->width / 2) * 3;
        EXPECT_NEAR(200, picture->rgb[middle], 6) << c.width;
        EXPECT_NEAR(120, picture->rgb[middle + 1], 6) << c.width;
        EXPECT_NEAR(40, picture->rgb[middle + 2], 6) << c.width;
    }
}

TEST(DecodeJpegScaled, DamagedEmptyAndOversizedPicturesGiveNothing) {
    const std::vector<uint8_t> jpeg = Solid(704, 576);
    EXPECT_FALSE(DecodeJpegScaled(nullptr, 100, 160));
    EXPECT_FALSE(DecodeJpegScaled(jpeg.data(), 0, 160));
    for (size_t keep : {size_t{2}, size_t{300}, jpeg.size() / 2})
        EXPECT_FALSE(DecodeJpegScaled(jpeg.data(), uint32_t(keep), 160)) << keep;
    std::vector<uint8_t> garbage(2000, 0x5A);
    EXPECT_FALSE(DecodeJpegScaled(garbage.data(), uint32_t(garbage.size()), 160));
    EXPECT_FALSE(DecodeJpegScaled(jpeg.data(), uint32_t(jpeg.size()), 160, 176 * 144 - 1));
    EXPECT_TRUE(DecodeJpegScaled(jpeg.data(), uint32_t(jpeg.size()), 160, 176 * 144));
}

}  // namespace
}  // namespace corvanta
