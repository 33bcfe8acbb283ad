#pragma once
// Deliberate misbehaviour for reliability tests of the viewer: every request
// can be delayed, a share of them answered with an empty body, with garbage,
// with a cut-off JPEG or not at all (the connection is closed), and the whole
// server can stall for a while. Decisions come from a seeded generator, so a
// test run is repeatable.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>

namespace corvanta::recorder {

struct FaultConfig {
    uint32_t delayMs = 0;            // added to every request
    double emptyShare = 0;           // 0..1: answered with an empty body
    double garbageShare = 0;         // 0..1: answered with random bytes that are no record
    double truncatedJpegShare = 0;   // 0..1 of frame answers: the JPEG is cut short
    double dropShare = 0;            // 0..1: connection closed without an answer
    uint32_t stallAfterRequests = 0; // the stall starts with this request (1-based); 0 = never
    uint32_t stallMs = 0;            // how long the stall lasts
    uint64_t seed = 1;               // seeds the decisions

    bool any() const {
        return delayMs || emptyShare > 0 || garbageShare > 0 || truncatedJpegShare > 0 || dropShare > 0 ||
               (stallAfterRequests && stallMs);
    }
};

// Requests held back by the delay or a stall. A link delays each request on
// its own, so concurrent requests wait side by side, never one after another.
struct FaultStats {
    uint32_t waitingNow = 0;
    uint32_t mostWaitingAtOnce = 0;  // since the last configure()
};

enum class FaultAction { None, Drop, Empty, Garbage, TruncateJpeg };

const char* faultName(FaultAction action);

class FaultInjector {
public:
    void configure(const FaultConfig& config);
    FaultConfig config() const;
    FaultStats stats() const;

    // Starts a stall now, independent of the configured one; configure()
    // ends it, as it ends every stall, so switching faults off frees waiters.
    void stallFor(uint32_t ms);

    // Called once per request before it is served: waits out the delay and
    // any stall, without holding other requests back. Returns false when the
    // wait was cut short by shutdown.
    bool beforeRequest();

    // What to do with the answer of the request just served.
    FaultAction decide(bool pictureAnswer);

    // Random bytes that are not a valid answer record (shorter than a header).
    std::string garbage();
    // A length between 1 and size - 1 at which to cut a JPEG of `size` bytes.
    size_t cutAt(size_t size);

    // Wakes every waiting request; later waits return at once.
    void shutdown();

private:
    bool chance(double share);
    bool waitUntilDue(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point arrival);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    FaultConfig config_;
    std::mt19937_64 rng_{1};
    uint64_t requests_ = 0;
    std::chrono::steady_clock::time_point stallUntil_{};
    bool shutdown_ = false;
    FaultStats stats_;
};

}  // namespace corvanta::recorder
