#include "platform/ProcessMutex.h"

#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

namespace corvanta::platform {
namespace {

void InitRobustRecursive(pthread_mutex_t* m, bool shared) {
    pthread_mutexattr_t a;
    pthread_mutexattr_init(&a);
    pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST);
    if (shared) pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED);
    pthread_mutex_init(m, &a);
    pthread_mutexattr_destroy(&a);
}

[[maybe_unused]] timespec DeadlineIn(uint32_t ms) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    ts.tv_sec += ms / 1000;
    ts.tv_nsec += long(ms % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

}  // namespace

ProcessMutex::ProcessMutex() : m_private(std::make_unique<pthread_mutex_t>()) {
    InitRobustRecursive(m_private.get(), false);
    m_mutex = m_private.get();
}

ProcessMutex::ProcessMutex(SharedRegion region) : m_region(std::move(region)) {
    m_mutex = static_cast<pthread_mutex_t*>(m_region.Data());
}

SysResult<ProcessMutex> ProcessMutex::OpenNamed(std::string_view name, bool* existed) {
    std::string regionName = "mutex:" + std::string(name);
    auto r = SharedRegion::Open(regionName, sizeof(pthread_mutex_t), SharedRegion::Mode::CreateOrOpen,
                                [](void* p, size_t) { InitRobustRecursive(static_cast<pthread_mutex_t*>(p), true); });
    if (!r) return r.Error();
    if (existed) *existed = r.Value().Existed();
    return ProcessMutex(std::move(r.Value()));
}

ProcessMutex::~ProcessMutex() {
    if (m_private) pthread_mutex_destroy(m_private.get());
}

LockStatus ProcessMutex::Lock(uint32_t timeoutMs) {
    if (!m_mutex) return LockStatus::Failed;
    int rc;
    if (timeoutMs == kInfinite) {
        rc = pthread_mutex_lock(m_mutex);
    } else if (timeoutMs == 0) {
        rc = pthread_mutex_trylock(m_mutex);
        if (rc == EBUSY) rc = ETIMEDOUT;
    } else {
#if defined(__SANITIZE_THREAD__)
        // The thread checker's timedlock wrapper does not count an abandoned
        // mutex as acquired (its trylock wrapper does), so it would take every
        // later release for a misuse. Poll instead in that build.
        uint64_t end = MonotonicMs() + timeoutMs;
        while ((rc = pthread_mutex_trylock(m_mutex)) == EBUSY && MonotonicMs() < end) SleepMs(1);
        if (rc == EBUSY) rc = ETIMEDOUT;
#else
        timespec deadline = DeadlineIn(timeoutMs);
        rc = pthread_mutex_timedlock(m_mutex, &deadline);
#endif
    }
    switch (rc) {
        case 0:
            return LockStatus::Acquired;
        case ETIMEDOUT:
            return LockStatus::TimedOut;
        case EOWNERDEAD:
            // Mark it usable again; we own it now.
            pthread_mutex_consistent(m_mutex);
            return LockStatus::Abandoned;
        default:
            return LockStatus::Failed;
    }
}

bool ProcessMutex::Unlock() {
    if (!m_mutex) return false;
#ifdef __GLIBC__
    // A release by a thread that does not hold the mutex must do nothing. The
    // system would refuse it as well, but callers do this on purpose (a Close
    // that releases whatever it may hold), and asking first keeps that out of
    // the thread checker's reports. glibc keeps the owner's thread id here.
    if (__atomic_load_n(&m_mutex->__data.__owner, __ATOMIC_RELAXED) != gettid()) return false;
#endif
    return pthread_mutex_unlock(m_mutex) == 0;
}

}  // namespace corvanta::platform
