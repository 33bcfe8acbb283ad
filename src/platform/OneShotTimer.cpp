#include "platform/OneShotTimer.h"

#include <chrono>

#include "platform/Tick.h"

namespace corvanta::platform {

OneShotTimer::OneShotTimer() : m_thread([this] { Run(); }) {}

OneShotTimer::~OneShotTimer() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_armed = false;
    }
    m_wake.notify_one();
    m_thread.join();
}

void OneShotTimer::Start(uint32_t delayMs, std::atomic<uint32_t>& word, uint32_t value) {
    {
        std::lock_guard lock(m_mutex);
        // The tick count is MonotonicMs cut to 32 bits, so the deadline is
        // the start of millisecond now + delay; the write lands one
        // millisecond earlier.
        const uint64_t now = MonotonicMs();
        m_dueMs = now + delayMs - (delayMs > 0 ? 1 : 0);
        m_word = &word;
        m_value = value;
        m_armed = true;
        ++m_generation;
    }
    m_wake.notify_one();
}

void OneShotTimer::Cancel() {
    std::lock_guard lock(m_mutex);
    m_armed = false;
}

void OneShotTimer::Run() {
    using namespace std::chrono;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_armed; });
        if (m_quit) return;
        // steady_clock and MonotonicMs both read CLOCK_MONOTONIC.
        const steady_clock::time_point due{milliseconds(m_dueMs)};
        const uint64_t generation = m_generation;
        // Woken early by a Cancel, a new Start or the end: look again.
        if (m_wake.wait_until(lock, due, [&] { return m_quit || !m_armed || m_generation != generation; })) continue;
        m_armed = false;
        m_word->store(m_value);
    }
}

}  // namespace corvanta::platform
