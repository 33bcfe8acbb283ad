#pragma once
// When each frame of a file was recorded, in milliseconds after the file's
// first second: from the file's second index (the first frame of every
// recorded second) and its rate, so a file with gaps keeps them.

#include <cstdint>
#include <span>
#include <vector>

namespace corvanta {

class ExportFrameTimes {
public:
    // `table` holds one value per second from the file's start, the first
    // frame of that second or kNoFrameInSecond. An empty table, or one that
    // goes backwards, places frames by the rate alone.
    ExportFrameTimes(uint32_t scale, uint32_t rate, std::span<const uint32_t> table);

    int64_t OffsetMs(uint32_t frame) const;
    // One frame period in milliseconds, at least 1.
    int64_t PeriodMs() const;

private:
    struct Second {
        uint32_t offset;  // seconds after the start
        uint32_t firstFrame;
    };
    int64_t RateMs(uint64_t frames) const;

    uint32_t m_scale;
    uint32_t m_rate;
    std::vector<Second> m_seconds;  // recorded seconds, ascending
};

}  // namespace corvanta
