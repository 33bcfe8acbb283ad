#pragma once
// Calendar arithmetic for the recorder's local time. The recorder keeps no
// time zone: a time is a count of seconds since 1970-01-01 00:00:00 of the
// recorder's wall clock, which is what its file names and records show.

#include <cstdint>
#include <optional>

#include "archive/ArchiveRecords.h"

namespace corvanta::recorder {

using Seconds = int64_t;

inline constexpr Seconds kSecondsPerDay = 86400;

struct CivilDate {
    int year = 1970;
    unsigned month = 1;  // 1..12
    unsigned day = 1;    // 1..31

    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(const CivilDate& date);
CivilDate civilFromDays(int64_t days);
unsigned daysInMonth(int year, unsigned month);

// Seconds at 00:00:00 of a date.
Seconds startOfDay(const CivilDate& date);
CivilDate dateOf(Seconds t);

// The wire form of a time; milliseconds are 0 because the archive keeps whole seconds.
SystemTime toSystemTime(Seconds t);

// Reads the date and clock fields of a wire time; day of week and
// milliseconds are ignored. Returns nothing for an impossible date or time.
std::optional<Seconds> fromSystemTime(const SystemTime& st);

// The local date of the machine the recorder runs on.
CivilDate localToday();

}  // namespace corvanta::recorder
