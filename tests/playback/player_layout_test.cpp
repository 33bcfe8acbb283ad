#include <gtest/gtest.h>

#include <tuple>

#include "playback/PlayerLayout.h"

namespace corvanta {
namespace {

// The natural and height-bound sizes are checked in a real player.
TEST(PlayerLayout, WidthBoundVideoIsCentredAndDegenerateSpacesGiveNoNegativeSizes) {
    // 600/640 <= 500/480: the width limits, 480/640 * 600 = 450, centred in 500.
    PlayerLayout l = ComputePlayerLayout({600, 590, 30, 400, 60, 640, 480, false});
    EXPECT_EQ(std::tuple(0, 25, 600, 450), std::tuple(l.video.left, l.video.top, l.video.width, l.video.height));
    EXPECT_EQ(505, l.panel.top);

    // No room above the panel, a panel wider than the player, no frame size.
    l = ComputePlayerLayout({199, 50, 30, 300, 60, 320, 240, false});
    EXPECT_EQ(0, l.video.height);
    EXPECT_GE(l.video.width, 0);
    EXPECT_EQ(-51, l.panel.left);  // halves round down
    l = ComputePlayerLayout({640, 600, 30, 400, 60, 0, 240, false});
    EXPECT_EQ(0, l.video.width + l.video.height);
}

}  // namespace
}  // namespace corvanta
