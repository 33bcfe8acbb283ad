// The player's rules driven tick by tick through a surface that records
// what the player would do.

#include <gtest/gtest.h>

#include <vector>

#include "playback/PlaybackClock.h"

namespace corvanta {
namespace {

struct Surface : IPlayerSurface {
    bool StreamBound() override { return bound; }
    bool FetchFrame(uint32_t frame, uint32_t* holdMs) override {
        requested.push_back(frame);
        *holdMs = hold;
        now += fetchMs;
        return frame < frames;  // the recorder refuses a frame past the end
    }
    void ReportEnd() override { ++ends; }
    void MoveSlider(uint32_t frame) override { slider = frame; }
    void SetTimerPeriod(uint32_t timer, uint32_t periodMs) override { periods[timer] = periodMs; }
    void StartFrameHold(uint32_t delayMs, std::atomic<uint32_t>&) override { holds.push_back(delayMs); }
    uint32_t Now() override { return now; }

    bool bound = true;
    uint32_t frames = 100;
    uint32_t hold = 0;
    uint32_t fetchMs = 0;
    uint32_t now = 1000;
    std::vector<uint32_t> requested;
    std::vector<uint32_t> holds;
    int ends = 0;
    uint32_t slider = 0;
    uint32_t periods[3] = {0, 0, 0};
};

class PlaybackClockTest : public ::testing::Test {
protected:
    void OpenPlaying(uint32_t frames = 100, uint32_t first = 0) {
        surface.frames = frames;
        clock.Open(1, 25, frames, first);
        state.playing = 1;
        state.paused = 0;
    }
    PlaybackState state;
    Surface surface;
    CPlaybackClock clock{state, surface};
};

TEST(PlaybackSpeed, IntervalAndSpeedTable) {
    EXPECT_EQ(40u, FrameInterval(1, 25));
    EXPECT_EQ(80u, FrameInterval(2, 25));
    EXPECT_EQ(0u, FrameInterval(1, 0));
    struct Case {
        int32_t slider;
        uint32_t period, step;
    };
    for (const Case& c : {Case{1, 200, 1}, Case{2, 160, 1}, Case{4, 80, 1}, Case{5, 40, 1}, Case{6, 40, 2},
                          Case{7, 40, 4}, Case{8, 40, 6}, Case{9, 40, 8}, Case{0, 200, 1}, Case{12, 40, 8}}) {
        const ClockSpeed s = SpeedFor(c.slider, 40);
        EXPECT_EQ(c.period, s.periodMs) << c.slider;
        EXPECT_EQ(c.step, s.step) << c.slider;
    }
    // No rate known: slow, never a zero period.
    EXPECT_EQ(1000u, SpeedFor(5, 0).periodMs);
    EXPECT_EQ(0x7FFFFFFFu, SpeedFor(1, 0xFFFFFFFFu).periodMs);
}

TEST(PlaybackSpeed, JogAndHoldRules) {
    struct Jog {
        int32_t slider;
        bool jogging;
        int32_t direction;
        uint32_t period;
    };
    for (const Jog& j : {Jog{10, false, 0, 100}, Jog{11, true, 1, 450}, Jog{19, true, 1, 50}, Jog{9, true, -1, 450},
                         Jog{1, true, -1, 50}}) {
        const JogSpeed s = JogFor(j.slider);
        EXPECT_EQ(j.jogging, s.jogging) << j.slider;
        EXPECT_EQ(j.direction, s.direction) << j.slider;
        EXPECT_EQ(j.period, s.periodMs) << j.slider;
    }
    EXPECT_EQ(35u, HoldDelay(40, 5));
    EXPECT_EQ(0u, HoldDelay(40, 40));
    EXPECT_EQ(0u, HoldDelay(0, 0));
    EXPECT_EQ(1999u, HoldDelay(1999, 0));
    EXPECT_EQ(0u, HoldDelay(2000, 0));
}

TEST_F(PlaybackClockTest, SpeedSetsTheClockPeriodAndStep) {
    OpenPlaying();
    for (auto [slider, period, step] : {std::tuple{1, 200u, 1u}, {5, 40u, 1u}, {9, 40u, 8u}}) {
        clock.ApplySpeed(slider);
        EXPECT_EQ(period, surface.periods[kClockTimer]);
        EXPECT_EQ(step, state.step);
    }
    surface.requested.clear();
    clock.ClockTick();
    clock.ClockTick();
    EXPECT_EQ((std::vector<uint32_t>{0, 8}), surface.requested);
    EXPECT_EQ(16u, state.currentFrame);
}

TEST_F(PlaybackClockTest, OpenStartsPausedUnlessThePreviousFileEnded) {
    clock.Open(1, 25, 10, 3);
    EXPECT_EQ(0u, state.playing);
    EXPECT_EQ(1u, state.paused);
    EXPECT_EQ(3u, state.currentFrame);
    EXPECT_EQ(40u, clock.Interval());
    state.currentFrame = 10;  // ">" on the last frame
    clock.ShowFrame(false);
    EXPECT_EQ(1, surface.ends);
    EXPECT_TRUE(clock.EndReported());
    clock.Open(1, 25, 10, 0);  // the owner opens the next file
    EXPECT_EQ(1u, state.playing);
    EXPECT_EQ(0u, state.paused);
    EXPECT_FALSE(clock.EndReported());
    // Command 8 after an end: the same file opened again starts paused.
    state.currentFrame = 10;
    clock.ShowFrame(false);
    clock.EndHandled();
    clock.Open(1, 25, 10, 0);
    EXPECT_EQ(0u, state.playing);
}

TEST_F(PlaybackClockTest, PassingTheEndAsksForTheFramePastItThenClampsStopsAndReports) {
    OpenPlaying(10, 9);
    clock.ClockTick();
    EXPECT_EQ(10u, state.currentFrame);
    EXPECT_EQ(0, surface.ends);
    clock.ClockTick();
    EXPECT_EQ((std::vector<uint32_t>{9, 10}), surface.requested);
    EXPECT_EQ(9u, state.currentFrame);
    EXPECT_EQ(0u, state.playing);
    EXPECT_EQ(1, surface.ends);
    EXPECT_EQ(9u, surface.slider);
    clock.ClockTick();  // stopped
    EXPECT_EQ(2u, surface.requested.size());
}

TEST_F(PlaybackClockTest, HeldJoggingOrUnboundTicksShowNothing) {
    OpenPlaying();
    surface.hold = 40;
    surface.fetchMs = 3;
    clock.ClockTick();
    EXPECT_EQ((std::vector<uint32_t>{37}), surface.holds);
    EXPECT_TRUE(clock.Held());
    clock.ClockTick();
    EXPECT_EQ(1u, surface.requested.size());
    clock.FrameHold().store(0);  // the one-shot timer fired
    surface.hold = 2000;         // too long to be honoured
    clock.ClockTick();
    EXPECT_EQ(2u, surface.requested.size());
    EXPECT_FALSE(clock.Held());
    // Frames shown by hand are never held.
    surface.hold = 40;
    clock.ShowFrame(false);
    EXPECT_FALSE(clock.Held());
    state.jogging = 1;
    clock.ClockTick();
    state.jogging = 0;
    surface.bound = false;
    clock.ClockTick();
    EXPECT_EQ(3u, surface.requested.size());
}

TEST_F(PlaybackClockTest, JogHeldAtTheEndMovesEvery50msAndStopsAtTheLastFrame) {
    clock.Open(1, 25, 4, 1);
    for (int i = 0; i < 5; ++i) clock.JogTick(19);
    EXPECT_EQ(50u, surface.periods[kJogTimer]);
    EXPECT_EQ(1u, state.jogging);
    EXPECT_EQ(3u, state.currentFrame);
    EXPECT_EQ((std::vector<uint32_t>{2, 3, 3, 3, 3}), surface.requested);
    EXPECT_EQ(0, surface.ends);
    clock.JogTick(1);
    EXPECT_EQ(2u, state.currentFrame);
    clock.JogTick(10);
    EXPECT_EQ(0u, state.jogging);
    EXPECT_EQ(100u, surface.periods[kJogTimer]);
}

TEST_F(PlaybackClockTest, RateZeroAndEmptyFilesStillPlay) {
    clock.Open(1, 0, 0, 0);
    EXPECT_EQ(0u, clock.Interval());
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

TEST_F(PlaybackClockTest, SeekShowsTheFrameOnlyWhenNotPlaying) {
    clock.Open(1, 25, 100, 0);
    clock.Seek(50);
    EXPECT_EQ((std::vector<uint32_t>{50}), surface.requested);
    state.playing = 1;
    clock.Seek(70);
    EXPECT_EQ(70u, state.currentFrame);
    EXPECT_EQ(1u, surface.requested.size());
    clock.Close();
    EXPECT_EQ(1u, state.frameCount);
    EXPECT_EQ(0u, state.playing + state.paused + state.currentFrame);
}

}  // namespace
}  // namespace corvanta
