#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/ProcessMutex.h"

namespace corvanta::platform {

// Stays signalled until reset; every waiter is released while it is set.
class ManualResetEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event was signalled within the time-out.
    bool Wait(uint32_t timeoutMs = kInfinite);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set = false;
};

}  // namespace corvanta::platform
