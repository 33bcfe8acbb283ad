#pragma once
// Atomic counters on words that may live in shared memory.
#include <atomic>
#include <cstdint>

namespace corvanta::platform {

static_assert(std::atomic_ref<int32_t>::is_always_lock_free, "shared counters must not need a lock");

// Both return the new value.
inline int32_t InterlockedIncrement(int32_t* word) { return std::atomic_ref<int32_t>(*word).fetch_add(1) + 1; }
inline int32_t InterlockedDecrement(int32_t* word) { return std::atomic_ref<int32_t>(*word).fetch_sub(1) - 1; }
inline int32_t InterlockedRead(int32_t* word) { return std::atomic_ref<int32_t>(*word).load(); }
inline void InterlockedWrite(int32_t* word, int32_t v) { std::atomic_ref<int32_t>(*word).store(v); }

}  // namespace corvanta::platform
