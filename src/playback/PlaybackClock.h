#pragma once
// The rules of a player without its widgets: the playback state its control
// panel holds, the speed table, the jog, the frame hold and the end of a
// file. CPlayerDlg feeds it its timer ticks and commands and does what it
// asks through IPlayerSurface; tests drive it the same way.

#include <atomic>
#include <cstdint>

namespace corvanta {

// Words of the control panel that its player reads and writes directly.
struct PlaybackState {
    uint32_t playing = 0;       // 1 while the clock advances frames
    uint32_t paused = 0;        // 1 after Pause
    uint32_t jogging = 0;       // 1 while the jog slider is off its middle
    uint32_t currentFrame = 0;  // frame to show next, 0-based
    uint32_t step = 1;          // frames per clock tick: 1, 2, 4, 6 or 8
    uint32_t frameCount = 1;    // of the open file; 1 when closed
};
static_assert(sizeof(PlaybackState) == 24);

inline constexpr uint32_t kClockTimer = 1;
inline constexpr uint32_t kJogTimer = 2;
inline constexpr int32_t kSpeedMin = 1, kSpeedMax = 9, kSpeedMiddle = 5;
inline constexpr int32_t kJogMin = 1, kJogMax = 19, kJogMiddle = 10;
inline constexpr uint32_t kJogIdlePeriodMs = 100;
// Hold times from this on are ignored, so a gap in a recording never
// freezes playback for longer.
inline constexpr uint32_t kMaxHoldMs = 2000;
// The clock's period while no usable frame interval is known (before the
// first file, or a file announcing rate 0): slow, but never a busy loop.
inline constexpr uint32_t kUnknownIntervalPeriodMs = 1000;

// scale * 1000 / rate in unsigned 32-bit arithmetic; 0 for rate 0.
uint32_t FrameInterval(uint32_t scale, uint32_t rate);

struct ClockSpeed {
    uint32_t periodMs;
    uint32_t step;
};
// Speed slider 1..9 (middle 5): up to 5 the period grows to 5 intervals at
// step 1; above 5 the period stays one interval and the step grows to 8.
ClockSpeed SpeedFor(int32_t sliderPosition, uint32_t intervalMs);

struct JogSpeed {
    bool jogging;
    int32_t direction;  // -1, 0 or +1
    uint32_t periodMs;  // of the jog timer: 450 next to the middle down to 50 at either end
};
JogSpeed JogFor(int32_t sliderPosition);

// How long a frame still has to stay on screen after showing it took
// `elapsedMs`; 0 when the recorder's hold time asks for no wait.
uint32_t HoldDelay(uint32_t holdMs, uint32_t elapsedMs);

// What the rules act upon.
class IPlayerSurface {
public:
    virtual ~IPlayerSurface() = default;
    virtual bool StreamBound() = 0;
    // Asks for `frame` (command 6); on success the frame is shown, kept for
    // snapshots and announced to the owner, and `holdMs` is the answer's param3.
    virtual bool FetchFrame(uint32_t frame, uint32_t* holdMs) = 0;
    // "ArchiveViewer Step Next AVI" to the owner.
    virtual void ReportEnd() = 0;
    // The position slider follows unless the user is dragging it.
    virtual void MoveSlider(uint32_t frame) = 0;
    virtual void SetTimerPeriod(uint32_t timer, uint32_t periodMs) = 0;
    // Starts the one-shot timer that clears `hold` after `delayMs`.
    virtual void StartFrameHold(uint32_t delayMs, std::atomic<uint32_t>& hold) = 0;
    // Lets a hold timer whose deadline has passed clear the hold now, so a
    // tick that comes on time never finds a hold its timer's thread has not
    // yet had the CPU to end.
    virtual void SettleFrameHold() = 0;
    virtual uint32_t Now() = 0;  // the millisecond tick count
};

class CPlaybackClock {
public:
    CPlaybackClock(PlaybackState& state, IPlayerSurface& surface) : m_state(state), m_surface(surface) {}

    // The state of a freshly opened file. A file opened because the last one
    // ended plays at once; one the user opened starts paused.
    void Open(uint32_t scale, uint32_t rate, uint32_t frameCount, uint32_t firstFrame);
    void Close();
    // Sets timer 1 and the step from the speed slider.
    void ApplySpeed(int32_t sliderPosition);
    // Shows the current frame; a clock-driven show may start the frame hold.
    // Passing the end clamps to the last frame, stops and reports the end.
    void ShowFrame(bool clockDriven);
    // Shows the first frame of a file just opened; one that plays at once
    // moves on as a tick would, so the next tick does not show it again.
    void ShowOpened();
    void ClockTick();                     // timer 1
    void JogTick(int32_t sliderPosition); // timer 2
    // The position slider was let go at `frame`.
    void Seek(uint32_t frame);
    void EndHandled() { m_endReported = false; }

    uint32_t Interval() const { return m_interval; }
    bool EndReported() const { return m_endReported; }
    bool Held() const { return m_frameHold.load() != 0; }
    std::atomic<uint32_t>& FrameHold() { return m_frameHold; }

private:
    PlaybackState& m_state;
    IPlayerSurface& m_surface;
    uint32_t m_interval = 0;
    bool m_endReported = false;
    uint32_t m_jogPeriod = kJogIdlePeriodMs;
    // Written by the one-shot timer's thread, read by the clock.
    std::atomic<uint32_t> m_frameHold{0};
};

}  // namespace corvanta
