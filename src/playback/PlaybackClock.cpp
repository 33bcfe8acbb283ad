#include "playback/PlaybackClock.h"

#include <algorithm>
#include <cstdlib>

namespace corvanta {

uint32_t FrameInterval(uint32_t scale, uint32_t rate) { return rate == 0 ? 0 : scale * 1000u / rate; }

ClockSpeed SpeedFor(int32_t sliderPosition, uint32_t intervalMs) {
    const int32_t s = std::clamp(sliderPosition, kSpeedMin, kSpeedMax);
    const uint64_t interval = intervalMs == 0 ? kUnknownIntervalPeriodMs : intervalMs;
    const uint64_t period = s <= kSpeedMiddle ? interval * uint64_t(6 - s) : interval;
    const uint32_t step = s <= kSpeedMiddle ? 1 : uint32_t(2 * s - 10);
    return ClockSpeed{uint32_t(std::min<uint64_t>(period, 0x7FFFFFFF)), step};
}

JogSpeed JogFor(int32_t sliderPosition) {
    const int32_t p = std::clamp(sliderPosition, kJogMin, kJogMax);
    if (p == kJogMiddle) return JogSpeed{false, 0, kJogIdlePeriodMs};
    return JogSpeed{true, p < kJogMiddle ? -1 : 1, uint32_t(500 - 50 * std::abs(p - kJogMiddle))};
}

uint32_t HoldDelay(uint32_t holdMs, uint32_t elapsedMs) {
    if (holdMs == 0 || holdMs >= kMaxHoldMs || elapsedMs >= holdMs) return 0;
    return holdMs - elapsedMs;
}

void CPlaybackClock::Open(uint32_t scale, uint32_t rate, uint32_t frameCount, uint32_t firstFrame) {
    m_interval = FrameInterval(scale, rate);
    // A file without frames still has a last frame to clamp to.
    m_state.frameCount = std::max<uint32_t>(frameCount, 1);
    m_state.currentFrame = firstFrame;
    m_frameHold.store(0);
    m_state.playing = m_endReported ? 1 : 0;
    m_state.paused = m_endReported ? 0 : 1;
    m_endReported = false;
}

void CPlaybackClock::Close() {
    m_state.frameCount = 1;
    m_state.playing = 0;
    m_state.paused = 0;
    m_state.currentFrame = 0;
}

void CPlaybackClock::ApplySpeed(int32_t sliderPosition) {
    const ClockSpeed speed = SpeedFor(sliderPosition, m_interval);
    m_state.step = speed.step;
    m_surface.SetTimerPeriod(kClockTimer, speed.periodMs);
}

void CPlaybackClock::ShowFrame(bool clockDriven) {
    if (!m_surface.StreamBound()) return;
    const uint32_t t0 = m_surface.Now();
    uint32_t hold = 0;
    const bool shown = m_surface.FetchFrame(m_state.currentFrame, &hold);
    if (clockDriven && shown) {
        if (const uint32_t delay = HoldDelay(hold, m_surface.Now() - t0)) {
            // Held before the timer starts, so a timer that fires at once
            // cannot be overtaken by the store.
            m_frameHold.store(1);
            m_surface.StartFrameHold(delay, m_frameHold);
        }
    }
    if (m_state.currentFrame > m_state.frameCount - 1) {
        m_state.currentFrame = m_state.frameCount - 1;
        m_state.playing = 0;
        m_endReported = true;
        m_surface.ReportEnd();
    }
    m_surface.MoveSlider(m_state.currentFrame);
}

void CPlaybackClock::ShowOpened() {
    ShowFrame(false);
    if (m_state.playing) m_state.currentFrame += m_state.step;
}

void CPlaybackClock::ClockTick() {
    m_surface.SettleFrameHold();
    if (!m_state.playing || m_state.jogging || m_frameHold.load() != 0) return;
    ShowFrame(true);
    // A tick that reached the end leaves the last frame current, so a step
    // back from there shows the frame before it.
    if (m_state.playing) m_state.currentFrame += m_state.step;
}

void CPlaybackClock::JogTick(int32_t sliderPosition) {
    const JogSpeed jog = JogFor(sliderPosition);
    m_state.jogging = jog.jogging ? 1 : 0;
    if (jog.jogging) {
        if (jog.direction < 0 && m_state.currentFrame > 0) --m_state.currentFrame;
        if (jog.direction > 0 && m_state.currentFrame < m_state.frameCount - 1) ++m_state.currentFrame;
        ShowFrame(false);
    }
    if (jog.periodMs != m_jogPeriod) {
        m_jogPeriod = jog.periodMs;
        m_surface.SetTimerPeriod(kJogTimer, jog.periodMs);
    }
}

void CPlaybackClock::Seek(uint32_t frame) {
    m_state.currentFrame = frame;
    if (!m_state.playing) ShowFrame(false);
}

}  // namespace corvanta
