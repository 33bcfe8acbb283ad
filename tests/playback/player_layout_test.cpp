#include <gtest/gtest.h>

#include "playback/PlayerLayout.h"

namespace corvanta {
namespace {

PlayerLayoutInput Input(int w, int h, int fw, int fh, bool fit, int panelW = 400) {
    return PlayerLayoutInput{w, h, 30, panelW, 60, fw, fh, fit};
}

// The video keeps its aspect, centred in what the slider and the panel below it leave.
TEST(PlayerLayout, VideoKeepsItsAspectAndIsCentredAboveSliderAndPanel) {
    struct Case {
        PlayerLayoutInput in;
        int left, top, w, h;
        const char* what;
    };
    for (const Case& c : {
             // 600/640 <= 500/480: the width limits, 480/640 * 600 = 450.
             Case{Input(600, 590, 640, 480, true), 0, 25, 600, 450, "fit, width-bound"},
             Case{Input(1000, 900, 320, 240, true), 0, 30, 1000, 750, "fit grows a small frame"},
             Case{Input(300, 600, 320, 240, false), 0, 142, 300, 225, "too narrow"},
             Case{Input(640, 300, 320, 240, false), 180, 0, 280, 210, "too low"},
         }) {
        const PlayerLayout l = ComputePlayerLayout(c.in);
        EXPECT_EQ(c.left, l.video.left) << c.what;
        EXPECT_EQ(c.top, l.video.top) << c.what;
        EXPECT_EQ(c.w, l.video.width) << c.what;
        EXPECT_EQ(c.h, l.video.height) << c.what;
        EXPECT_EQ(l.video.top + l.video.height + 30, l.panel.top) << c.what;
    }
}

TEST(PlayerLayout, DegenerateSpacesGiveNoNegativeSizes) {
    // No room above the panel, a panel wider than the player, no frame size.
    PlayerLayout l = ComputePlayerLayout(Input(199, 50, 320, 240, false, 300));
    EXPECT_EQ(0, l.video.height);
    EXPECT_GE(l.video.width, 0);
    EXPECT_EQ(-51, l.panel.left);  // halves round down
    l = ComputePlayerLayout(Input(640, 600, 0, 240, false));
    EXPECT_EQ(0, l.video.width + l.video.height);
}

}  // namespace
}  // namespace corvanta
