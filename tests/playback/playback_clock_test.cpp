// The player's rules tick by tick through a surface that records what it asks,
// and its layout.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "playback/PlaybackClock.h"
#include "playback/PlayerLayout.h"

namespace corvanta {
namespace {

struct Surface : IPlayerSurface {
    bool StreamBound() override { return true; }
    bool FetchFrame(uint32_t frame, uint32_t* holdMs) override {
        requested.push_back(frame);
        *holdMs = hold;
        return frame < frames;  // the recorder refuses a frame past the end
    }
    void ReportEnd() override { ++ends; }
    void MoveSlider(uint32_t) override {}
    void SetTimerPeriod(uint32_t timer, uint32_t periodMs) override { periods[timer] = periodMs; }
    void StartFrameHold(uint32_t delayMs, std::atomic<uint32_t>& word) override {
        holds.push_back(delayMs);
        held = &word;
    }
    void SettleFrameHold() override {
        if (due && held) held->store(0);  // the deadline passed before its thread ran
    }
    uint32_t Now() override { return 1000; }

    uint32_t frames = 100, hold = 0;
    bool due = false;
    std::atomic<uint32_t>* held = nullptr;
    std::vector<uint32_t> requested, holds;
    int ends = 0;
    uint32_t periods[3] = {};
};

class PlaybackClockTest : public ::testing::Test {
protected:
    PlaybackState state;
    Surface surface;
    CPlaybackClock clock{state, surface};
};

TEST(PlaybackRules, IntervalSpeedJogAndHoldTables) {
    EXPECT_EQ(40u, FrameInterval(1, 25));
    for (auto [slider, period, step] : {std::tuple{1, 200u, 1u}, {5, 40u, 1u}, {9, 40u, 8u}}) {
        EXPECT_EQ(period, SpeedFor(slider, 40).periodMs) << slider;
        EXPECT_EQ(step, SpeedFor(slider, 40).step) << slider;
    }
    for (auto [slider, direction, period] : {std::tuple{10, 0, 100u}, {11, 1, 450u}, {1, -1, 50u}}) {
        EXPECT_EQ(direction, JogFor(slider).direction) << slider;
        EXPECT_EQ(period, JogFor(slider).periodMs) << slider;
    }
    EXPECT_EQ(35u, HoldDelay(40, 5));
    EXPECT_EQ(0u, HoldDelay(40, 40));
}

TEST_F(PlaybackClockTest, TicksAdvanceByTheStepAndPassingTheEndReportsOnce) {
    clock.Open(1, 25, 20, 3);
    EXPECT_EQ(1u, state.paused);  // opened by the user
    clock.ClockTick();
    EXPECT_TRUE(surface.requested.empty());
    state.playing = 1;
    clock.ApplySpeed(9);
    EXPECT_EQ(40u, surface.periods[kClockTimer]);
    for (int i = 0; i < 4; ++i) clock.ClockTick();
    // 19 is the last frame; 27 is asked for before the clamp.
    EXPECT_EQ((std::vector<uint32_t>{3, 11, 19, 27}), surface.requested);
    EXPECT_EQ(19u, state.currentFrame);
    EXPECT_EQ(0u, state.playing);
    EXPECT_EQ(1, surface.ends);
    clock.Open(1, 25, 20, 0);  // the owner's next file plays at once
    EXPECT_EQ(1u, state.playing);
    state.currentFrame = 20;  // ">" on the last frame
    clock.ShowFrame(false);
    clock.EndHandled();       // no next file: the same one opened again starts paused
    clock.Open(1, 25, 20, 0);
    EXPECT_EQ(0u, state.playing);
    EXPECT_EQ(2, surface.ends);
}

TEST_F(PlaybackClockTest, AHeldTickIsSkippedUntilTheHoldIsDue) {
    surface.hold = 40;
    clock.Open(1, 25, 100, 0);
    state.playing = 1;
    clock.ClockTick();
    EXPECT_EQ((std::vector<uint32_t>{40}), surface.holds);
    clock.ClockTick();
    EXPECT_EQ(1u, surface.requested.size());
    surface.due = true;
    clock.ClockTick();
    EXPECT_EQ(2u, surface.requested.size());
    state.jogging = 1;
    clock.ClockTick();  // jogging: the clock waits
    EXPECT_EQ(2u, surface.requested.size());
}

TEST_F(PlaybackClockTest, JogHeldAtTheEndStopsAtTheLastFrameWithoutEndingTheFile) {
    clock.Open(1, 25, 4, 1);
    for (int i = 0; i < 4; ++i) clock.JogTick(19);
    EXPECT_EQ(50u, surface.periods[kJogTimer]);
    EXPECT_EQ((std::vector<uint32_t>{2, 3, 3, 3}), surface.requested);
    EXPECT_EQ(0, surface.ends);
    clock.JogTick(10);
    EXPECT_EQ(0u, state.jogging);
}

TEST_F(PlaybackClockTest, RateZeroAndAnEmptyFileStillPlay) {
    clock.Open(1, 0, 0, 0);
    EXPECT_EQ(1u, state.frameCount);
    clock.ApplySpeed(9);
    EXPECT_EQ(1000u, surface.periods[kClockTimer]);
    state.playing = 1;
    surface.frames = 1;
    clock.ClockTick();
    clock.ClockTick();
    EXPECT_EQ(0u, state.currentFrame);
    EXPECT_EQ(1, surface.ends);
}

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

TEST(PlayerLayout, TheTimeLineSitsBetweenSliderAndPanelAcrossThePlayer) {
    // 610 - 30 - 20 - 60 = 500 for the video: 600 x 450, centred.
    const PlayerLayout l = ComputePlayerLayout({600, 610, 30, 400, 60, 640, 480, false, 20});
    EXPECT_EQ(std::tuple(0, 25, 600, 450), std::tuple(l.video.left, l.video.top, l.video.width, l.video.height));
    EXPECT_EQ(475, l.slider.top);
    EXPECT_EQ(std::tuple(0, 505, 600, 20), std::tuple(l.time.left, l.time.top, l.time.width, l.time.height));
    EXPECT_EQ(525, l.panel.top);
}

}  // namespace
}  // namespace corvanta
