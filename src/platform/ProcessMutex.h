#pragma once
// A recursive mutex owned by a thread, optionally named and shared between
// the processes of the user. When its owning thread ends without releasing
// it, the next locker is told it was abandoned and still gets the mutex.

#include <pthread.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/SharedRegion.h"
#include "platform/SysResult.h"
#include "platform/Tick.h"

namespace corvanta::platform {


enum class LockStatus {
    Acquired,
    TimedOut,
    Abandoned,  // acquired, but the previous owner ended while holding it
    Failed,
};

class ProcessMutex {
public:
    // A mutex private to this process.
    ProcessMutex();
    // The mutex of this name, created when nobody has it yet.
    static SysResult<ProcessMutex> OpenNamed(std::string_view name, bool* existed = nullptr);

    ProcessMutex(ProcessMutex&&) noexcept = default;
    ProcessMutex& operator=(ProcessMutex&&) noexcept = default;
    ~ProcessMutex();

    LockStatus Lock(uint32_t timeoutMs = kInfinite);
    // False, with no effect, when the calling thread does not own the mutex.
    bool Unlock();

private:
    struct Shared;
    explicit ProcessMutex(SharedRegion region);

    std::unique_ptr<pthread_mutex_t> m_private;
    SharedRegion m_region;
    pthread_mutex_t* m_mutex = nullptr;
};

}  // namespace corvanta::platform
