#include "platform/SystemTime.h"

#include <ctime>

namespace corvanta::platform {

SystemTime LocalSystemTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    SystemTime st{};
    st.year = uint16_t(tm.tm_year + 1900);
    st.month = uint16_t(tm.tm_mon + 1);
    st.dayOfWeek = uint16_t(tm.tm_wday);
    st.day = uint16_t(tm.tm_mday);
    st.hour = uint16_t(tm.tm_hour);
    st.minute = uint16_t(tm.tm_min);
    st.second = uint16_t(tm.tm_sec);
    st.milliseconds = uint16_t(ts.tv_nsec / 1000000);
    return st;
}

}  // namespace corvanta::platform
