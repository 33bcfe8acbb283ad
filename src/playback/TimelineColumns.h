#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "playback/CFrameImage.h"

namespace corvanta {

// Column values of a timeline picture: an activity level 0 to 200 (0 =
// recorded without activity), no activity data, no recording, or no second
// fell into it.
inline constexpr uint8_t kMaxActivityLevel = 200;
// Recorded, or not known to be unrecorded, but the recorder sent no activity.
inline constexpr uint8_t kNoActivityData = 253;
inline constexpr uint8_t kColumnEmpty = 254;
inline constexpr uint8_t kNoRecording = 255;

// The seconds [start, end) a bar shows over its client width. An empty or
// reversed range has no scale: every second is at x 0, every x at `start`.
struct TimelineScale {
    int32_t start = 0;
    int32_t end = 0;
    int32_t width = 0;

    bool Shows(int32_t second) const { return second >= start && second < end; }
    // Pixels per second; 0 without a scale.
    double PixelsPerSecond() const;
    // The column of a second, counted from `start` (truncated).
    int32_t X(int32_t second) const;
    // The second under a pixel (truncated); `start` without a scale.
    int32_t SecondAt(int32_t x) const;
};

// The cached picture of a timeline bar: one vertical bar per column, drawn
// from the bottom, for the highest activity of the column's seconds.
class TimelineColumns {
public:
    // Re-creates picture and column buffer. The width is rounded down to a
    // multiple of 4, so rows need no padding for bitmap readers. Returns
    // false, and holds no picture, when nothing remains of the size.
    bool Resize(int32_t width, int32_t height);
    // Grey picture, then a bar per column for the seconds [start, end) of
    // `activity`. Seconds outside `activity` count as no recording; an empty
    // range maps no second and leaves the picture grey.
    void Rebuild(std::span<const uint8_t> activity, int32_t start, int32_t end);

    const CFrameImage& Picture() const { return m_picture; }
    std::span<const uint8_t> Columns() const { return m_columns; }

private:
    void Collect(std::span<const uint8_t> activity, int32_t start, int32_t end);
    void DrawBar(uint32_t column, uint8_t value);

    CFrameImage m_picture;
    std::vector<uint8_t> m_columns;
};

}  // namespace corvanta
