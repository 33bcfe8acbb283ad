#pragma once
// The line under a player's position slider: the recorded date and time of
// the shown frame and its number. No widgets: the player sets the file, then
// the start of its second index and the table, and asks for the text of a frame.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/SystemTime.h"

namespace corvanta {

class FrameTimeText {
public:
    // A new file: its rate and frame count; no start known yet, so only
    // the frame number shows.
    void Open(uint32_t scale, uint32_t rate, uint32_t frameCount);
    void Close() { *this = FrameTimeText{}; }
    // The first second of the file's second index, and the table it
    // answered (the first frame of each second, kNoFrameInSecond for none).
    // An empty table, or one that ends before the file does, makes every
    // time start + frame / rate, marked approximate.
    void SetIndex(const platform::SystemTime& start, std::span<const uint32_t> table);

    bool HasStart() const { return m_hasStart; }
    bool Approximate() const { return m_hasStart && m_seconds.empty(); }
    // To the millisecond of the frame when every second holds the same whole
    // number of frames, else to the second.
    bool ToTheFrame() const { return m_toTheFrame; }

    // "2026-12-06 14:48:27.440   frame 1235 / 6000" (the number counts
    // from 1), "≈ " before an approximate time, no time before a start is set.
    std::string Text(uint32_t frame) const;

private:
    struct Second {
        uint32_t offset;  // seconds after the start
        uint32_t firstFrame;
    };
    // Milliseconds after the start at which the frame was recorded.
    int64_t OffsetMs(uint32_t frame) const;

    uint32_t m_scale = 0;
    uint32_t m_rate = 0;
    uint32_t m_frameCount = 1;  // never 0: the last frame is m_frameCount - 1
    bool m_hasStart = false;
    bool m_toTheFrame = false;
    platform::SystemTime m_start{};
    std::vector<Second> m_seconds;  // the recorded seconds, ascending
};

// "YYYY-MM-DD hh:mm:ss", with ".mmm" when `withMs`, of `start` plus `offsetMs`.
std::string FormatTimeAfter(const platform::SystemTime& start, int64_t offsetMs, bool withMs);

}  // namespace corvanta
