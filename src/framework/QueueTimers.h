#pragma once
#include <cstdint>

namespace corvanta {

// Window timer numbers the queues use among themselves.
enum QueueTimer : uint32_t {
    kTimerClaimDirectory = 16110,  // manager, 100 ms: take over a directory whose manager is gone
    kTimerAnnounce = 16111,        // every queue, 0 then 500 ms: announce to the manager
    kTimerPurge = 16113,           // manager, 400 ms: drop stale entries
    kTimerNotifyPins = 16114,      // filter queue, 200 ms while needed: notify pin targets again
    kTimerLoop = 16115,            // filter queue, 10 ms while the loop runs
};

inline constexpr uint32_t kAnnouncePeriodMs = 500;
inline constexpr uint32_t kClaimPeriodMs = 100;
inline constexpr uint32_t kPurgePeriodMs = 400;
inline constexpr uint32_t kLoopPeriodMs = 10;
inline constexpr uint32_t kDirectoryTryLockMs = 200;
// An entry whose queue has not announced itself for this long is dropped.
inline constexpr uint32_t kSilentEntryMs = 800000;

// The thread message that ends a queue thread's loop.
inline constexpr uint32_t kEndQueueThreadMessage = 0x0400 + 2;

}  // namespace corvanta
