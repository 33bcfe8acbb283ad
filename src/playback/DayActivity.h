#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace corvanta {

// Seconds of a day the day timeline keeps: 00:00:00 up to, not including,
// 23:59:59.
inline constexpr int32_t kDayTimelineSeconds = 86399;
inline constexpr int32_t kSecondsPerDay = 86400;

// The day timeline's copy of a day's activity (one byte per second).
// Seconds the recorder's bytes do not reach count as no recording.
std::vector<uint8_t> CopyDayActivity(std::span<const uint8_t> activity);

// A recorded session of the day's list: the day of the month and the second
// of the day at which it starts and at which it stops.
struct DaySession {
    int32_t startDay = 0;
    int32_t startSecond = 0;
    int32_t stopDay = 0;
    int32_t stopSecond = 0;
};

// The seconds [start, stop) of the viewed day that a session covers: from 0
// when it began on another day, up to 86399 when it ends on another day or
// at 86400 or later.
struct CoveredSeconds {
    int32_t start = 0;
    int32_t stop = 0;
    bool Contains(int32_t second) const { return second >= start && second < stop; }
};
CoveredSeconds Covered(const DaySession& session, int32_t viewedDay);

// Sets every second of `activity` that no session covers to no recording.
// A session covers [start, stop), from 0 when it began on another day and
// up to 86399 when it ends on another day. Without a session list (null)
// nothing is known about gaps and `activity` is left as it is.
void MarkGaps(std::span<uint8_t> activity, const std::vector<DaySession>* sessions, int32_t viewedDay);

}  // namespace corvanta
