#include "platform/ProcessMutex.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <string>

#if defined(__SANITIZE_THREAD__)
#define CORVANTA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CORVANTA_TSAN 1
#endif
#endif

namespace corvanta::platform {
namespace {

// Every unlock compares the owner with the caller, and gettid is a system
// call each time. A forked child's only thread has a new id.
thread_local pid_t tThreadId = 0;
[[maybe_unused]] const int kForgetIdInChild = pthread_atfork(nullptr, nullptr, [] { tThreadId = 0; });

pid_t ThreadId() {
    if (tThreadId == 0) tThreadId = gettid();
    return tThreadId;
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

// The thread sanitizer's hook for pthread_mutex_timedlock does not count an
// owner-died acquisition as a lock (its trylock hook does), so under that
// sanitizer a timed wait polls trylock instead. Same results, coarser timing.
int TimedLock(pthread_mutex_t* m, uint32_t timeoutMs) {
#ifdef CORVANTA_TSAN
    uint64_t end = MonotonicMs() + timeoutMs;
    for (;;) {
        int rc = pthread_mutex_trylock(m);
        if (rc != EBUSY) return rc;
        if (MonotonicMs() >= end) return ETIMEDOUT;
        SleepMs(1);
    }
#else
    timespec deadline = DeadlineIn(timeoutMs);
    return pthread_mutex_timedlock(m, &deadline);
#endif
}

void InitRobustRecursive(pthread_mutex_t* m, bool shared) {
    pthread_mutexattr_t a;
    pthread_mutexattr_init(&a);
    pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST);
    if (shared) pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED);
    pthread_mutex_init(m, &a);
    pthread_mutexattr_destroy(&a);
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
        rc = TimedLock(m_mutex, timeoutMs);
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
    // Asking pthread to release a mutex we do not hold is an error it reports,
    // but also one the thread sanitizer treats as fatal; glibc records the
    // owner's thread id, so check it first.
    int owner = std::atomic_ref<int>(m_mutex->__data.__owner).load(std::memory_order_relaxed);
    if (owner != ThreadId()) return false;
    return pthread_mutex_unlock(m_mutex) == 0;
}

}  // namespace corvanta::platform
