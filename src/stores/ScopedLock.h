#pragma once
// Holds the lock of anything with Lock() and Unlock() (stores, containers,
// regions) for one scope, waiting without limit.

namespace corvanta {

template <typename T>
class ScopedLock {
public:
    explicit ScopedLock(T& lockable) : m_lockable(lockable) { m_locked = m_lockable.Lock() != 0; }
    ~ScopedLock() {
        if (m_locked) m_lockable.Unlock();
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    bool Locked() const { return m_locked; }

private:
    T& m_lockable;
    bool m_locked;
};

}  // namespace corvanta
