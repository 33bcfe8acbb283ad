#pragma once
// The one-shot millisecond timer a player's frame hold runs on: after a
// delay it stores a value into one word and touches nothing else. A thread
// of its own sleeps until then, so a busy user-interface thread cannot make
// the hold last longer.
//
// Deadlines are whole milliseconds of TickCount(), with 1 ms resolution: the
// word is written during the millisecond before the deadline, so whatever
// reads it once the tick count shows the deadline (a window timer due in the
// same millisecond, for one) already sees it written.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace corvanta::platform {

class OneShotTimer {
public:
    OneShotTimer();
    ~OneShotTimer();  // cancels and joins; the word is not written afterwards
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;

    // Writes `value` into `word` `delayMs` after now (counted from the
    // current tick); replaces a timer not yet fired. `word` must outlive the
    // timer or the next Start or Cancel.
    void Start(uint32_t delayMs, std::atomic<uint32_t>& word, uint32_t value);
    // After it returns, a timer not yet fired never fires.
    void Cancel();

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_armed = false;
    bool m_quit = false;
    uint64_t m_dueMs = 0;  // MonotonicMs of the write
    uint64_t m_generation = 0;  // counts Starts
    std::atomic<uint32_t>* m_word = nullptr;
    uint32_t m_value = 0;
    std::thread m_thread;
};

}  // namespace corvanta::platform
