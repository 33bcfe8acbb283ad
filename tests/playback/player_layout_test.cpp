#include <gtest/gtest.h>

#include <tuple>

#include "playback/PlayerLayout.h"

namespace corvanta {
namespace {

PlayerLayoutInput Input(int w, int h, int fw, int fh, bool fit, int slider = 30, int panelW = 400, int panelH = 60) {
    return PlayerLayoutInput{w, h, slider, panelW, panelH, fw, fh, fit};
}

// The video centred in what the slider and the panel below it leave.
TEST(PlayerLayout, VideoKeepsItsAspectAndIsCentredAboveSliderAndPanel) {
    struct Case {
        PlayerLayoutInput in;
        int w, h;
        const char* what;
    };
    for (const Case& c : {
             Case{Input(640, 600, 320, 240, false), 320, 240, "natural size"},
             // 800/640 > 410/480: the height limits, 640/480 * 410 = 546.67.
             Case{Input(800, 500, 640, 480, true), 546, 410, "fit, height-bound"},
             // 600/640 <= 500/480: the width limits, 480/640 * 600 = 450.
             Case{Input(600, 590, 640, 480, true), 600, 450, "fit, width-bound"},
             Case{Input(1000, 900, 320, 240, true), 1000, 750, "fit grows a small frame"},
             Case{Input(300, 600, 320, 240, false), 300, 225, "too narrow"},
             Case{Input(640, 300, 320, 240, false), 280, 210, "too low"},
             Case{Input(640, 600, 640, 510, false), 640, 510, "exactly fits"},
         }) {
        const PlayerLayout l = ComputePlayerLayout(c.in);
        EXPECT_EQ(c.w, l.video.width) << c.what;
        EXPECT_EQ(c.h, l.video.height) << c.what;
        const int available = c.in.clientHeight - c.in.sliderHeight - c.in.panelHeight;
        EXPECT_EQ((c.in.clientWidth - l.video.width) / 2, l.video.left) << c.what;
        EXPECT_EQ((available - l.video.height) / 2, l.video.top) << c.what;
        EXPECT_EQ(l.video.top + l.video.height, l.slider.top) << c.what;
        EXPECT_EQ(l.slider.top + l.slider.height, l.panel.top) << c.what;
        EXPECT_EQ(std::tuple(l.video.left, l.video.width, c.in.sliderHeight), std::tuple(l.slider.left, l.slider.width, l.slider.height)) << c.what;
        EXPECT_EQ((c.in.clientWidth - c.in.panelWidth) / 2, l.panel.left) << c.what;
    }
}

TEST(PlayerLayout, DegenerateSpacesGiveNoNegativeSizes) {
    // No room above the panel, a panel wider than the player, no frame size.
    PlayerLayout l = ComputePlayerLayout(Input(200, 50, 320, 240, false, 30, 300, 60));
    EXPECT_EQ(0, l.video.height);
    EXPECT_GE(l.video.width, 0);
    EXPECT_EQ(-50, l.panel.left);
    l = ComputePlayerLayout(Input(199, 400, 320, 240, false, 30, 300, 60));
    EXPECT_EQ(-51, l.panel.left);  // halves round down
    l = ComputePlayerLayout(Input(640, 600, 0, 240, false));
    EXPECT_EQ(0, l.video.width + l.video.height);
}

}  // namespace
}  // namespace corvanta
