#pragma once
// A calendar time as the recorder's records carry it: eight 16-bit fields.

#include <cstddef>
#include <cstdint>

namespace corvanta::platform {

struct SystemTime {
    uint16_t year;
    uint16_t month;      // 1..12
    uint16_t dayOfWeek;  // 0 = Sunday
    uint16_t day;        // 1..31
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

static_assert(sizeof(SystemTime) == 16);
static_assert(offsetof(SystemTime, year) == 0);
static_assert(offsetof(SystemTime, month) == 2);
static_assert(offsetof(SystemTime, dayOfWeek) == 4);
static_assert(offsetof(SystemTime, day) == 6);
static_assert(offsetof(SystemTime, hour) == 8);
static_assert(offsetof(SystemTime, minute) == 10);
static_assert(offsetof(SystemTime, second) == 12);
static_assert(offsetof(SystemTime, milliseconds) == 14);

// The current local time.
SystemTime LocalSystemTime();

}  // namespace corvanta::platform
