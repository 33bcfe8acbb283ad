#include "recorder/FaultInjector.h"

#include <algorithm>

namespace corvanta::recorder {

const char* faultName(FaultAction action) {
    switch (action) {
    case FaultAction::None: return "none";
    case FaultAction::Drop: return "drop";
    case FaultAction::Empty: return "empty";
    case FaultAction::Garbage: return "garbage";
    case FaultAction::TruncateJpeg: return "truncated-jpeg";
    }
    return "?";
}

void FaultInjector::configure(const FaultConfig& config) {
    std::lock_guard lock(mutex_);
    config_ = config;
    rng_.seed(config.seed);
    requests_ = 0;
    stallUntil_ = {};
    stats_.mostWaitingAtOnce = stats_.waitingNow;
    wake_.notify_all();
}

FaultStats FaultInjector::stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

FaultConfig FaultInjector::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void FaultInjector::stallFor(uint32_t ms) {
    std::lock_guard lock(mutex_);
    stallUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    wake_.notify_all();
}

bool FaultInjector::beforeRequest() {
    std::unique_lock lock(mutex_);
    ++requests_;
    const auto arrival = std::chrono::steady_clock::now();
    if (config_.stallAfterRequests != 0 && requests_ == config_.stallAfterRequests && config_.stallMs)
        stallUntil_ = arrival + std::chrono::milliseconds(config_.stallMs);
    return waitUntilDue(lock, arrival);
}

// The wait gives the mutex up, so every request waits out its own delay
// while others arrive and wait beside it. The deadline is worked out again
// after every wake-up, so switching a fault off releases the requests it holds.
bool FaultInjector::waitUntilDue(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point arrival) {
    bool waited = false;
    bool due = false;
    while (!shutdown_) {
        const auto until = std::max(stallUntil_, arrival + std::chrono::milliseconds(config_.delayMs));
        if (std::chrono::steady_clock::now() >= until) {
            due = true;
            break;
        }
        if (!waited) {
            waited = true;
            ++stats_.waitingNow;
            stats_.mostWaitingAtOnce = std::max(stats_.mostWaitingAtOnce, stats_.waitingNow);
        }
        wake_.wait_until(lock, until);
    }
    if (waited) --stats_.waitingNow;
    return due;
}

bool FaultInjector::chance(double share) {
    if (share <= 0) return false;
    if (share >= 1) return true;
    return std::uniform_real_distribution<double>(0, 1)(rng_) < share;
}

FaultAction FaultInjector::decide(bool pictureAnswer) {
    std::lock_guard lock(mutex_);
    if (chance(config_.dropShare)) return FaultAction::Drop;
    if (chance(config_.emptyShare)) return FaultAction::Empty;
    if (chance(config_.garbageShare)) return FaultAction::Garbage;
    if (pictureAnswer && chance(config_.truncatedJpegShare)) return FaultAction::TruncateJpeg;
    return FaultAction::None;
}

std::string FaultInjector::garbage() {
    std::lock_guard lock(mutex_);
    const size_t n = 1 + rng_() % 63;
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(rng_() & 0xFF);
    return out;
}

size_t FaultInjector::cutAt(size_t size) {
    std::lock_guard lock(mutex_);
    if (size < 2) return 0;
    return 1 + rng_() % (size - 1);
}

void FaultInjector::shutdown() {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    wake_.notify_all();
}

}  // namespace corvanta::recorder
