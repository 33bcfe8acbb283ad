#include "platform/Tick.h"

#include <ctime>
#include <thread>

namespace corvanta::platform {

uint64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

uint64_t MonotonicMs() { return MonotonicNs() / 1000000u; }

uint32_t TickCount() { return uint32_t(MonotonicMs()); }

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace corvanta::platform
