#pragma once
#include <functional>

#include "platform/Tick.h"

namespace corvanta::test {

// Polls `done` every millisecond; true as soon as it holds, false after `timeoutMs`.
inline bool WaitFor(const std::function<bool()>& done, uint32_t timeoutMs) {
    uint64_t end = platform::MonotonicMs() + timeoutMs;
    while (!done()) {
        if (platform::MonotonicMs() >= end) return false;
        platform::SleepMs(1);
    }
    return true;
}

}  // namespace corvanta::test
