#include "recorder/Calendar.h"

#include <ctime>

namespace corvanta::recorder {

// Howard Hinnant's days-from-civil algorithm: exact for every Gregorian date.
int64_t daysFromCivil(const CivilDate& date) {
    const int64_t y = static_cast<int64_t>(date.year) - (date.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t m = date.month;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + date.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civilFromDays(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return CivilDate{static_cast<int>(y), static_cast<unsigned>(m), static_cast<unsigned>(d)};
}

unsigned daysInMonth(int year, unsigned month) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

Seconds startOfDay(const CivilDate& date) { return daysFromCivil(date) * kSecondsPerDay; }

static int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

CivilDate dateOf(Seconds t) { return civilFromDays(floorDiv(t, kSecondsPerDay)); }

SystemTime toSystemTime(Seconds t) {
    const int64_t days = floorDiv(t, kSecondsPerDay);
    const int64_t secs = t - days * kSecondsPerDay;
    const CivilDate date = civilFromDays(days);
    SystemTime st{};
    st.year = static_cast<uint16_t>(date.year);
    st.month = static_cast<uint16_t>(date.month);
    // 1970-01-01 was a Thursday (4 with Sunday as 0).
    st.dayOfWeek = static_cast<uint16_t>(((days % 7) + 7 + 4) % 7);
    st.day = static_cast<uint16_t>(date.day);
    st.hour = static_cast<uint16_t>(secs / 3600);
    st.minute = static_cast<uint16_t>(secs / 60 % 60);
    st.second = static_cast<uint16_t>(secs % 60);
    st.milliseconds = 0;
    return st;
}

std::optional<Seconds> fromSystemTime(const SystemTime& st) {
    if (st.month < 1 || st.month > 12) return std::nullopt;
    if (st.day < 1 || st.day > daysInMonth(st.year, st.month)) return std::nullopt;
    if (st.hour > 23 || st.minute > 59 || st.second > 59) return std::nullopt;
    return startOfDay(CivilDate{st.year, st.month, st.day}) + st.hour * 3600 + st.minute * 60 + st.second;
}

CivilDate localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return CivilDate{local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                     static_cast<unsigned>(local.tm_mday)};
}

}  // namespace corvanta::recorder
