#pragma once
#include <cstdint>

namespace corvanta::platform {

// A time-out that never expires.
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick
// count the stores and queues compare with unsigned arithmetic.
uint32_t TickCount();

// Monotonic milliseconds without wrap, for deadlines.
uint64_t MonotonicMs();
uint64_t MonotonicNs();

void SleepMs(uint32_t ms);

}  // namespace corvanta::platform
