#pragma once
// The shared directory through which every queue of an instance is found by
// name, and the record each queue publishes about itself. Both are written
// under their region's mutex and read by any process of the instance.

#include <cstddef>
#include <cstdint>

namespace corvanta {

inline constexpr uint32_t kQueueDirectoryEntries = 200;
inline constexpr uint32_t kQueueNameSize = 512;

enum QueueKind : int32_t {
    kFilterQueue = 1,
    kManagerQueue = 2,
};

struct QueueEntry {
    uint32_t used;          // 1 = entry in use
    uint32_t lastSeen;      // tick (ms) of the last registration answer
    uint32_t registeredAt;  // tick (ms) when the entry was made
    int32_t queueKind;      // QueueKind
    char name[kQueueNameSize];  // the queue window's title
    uint32_t window;        // the queue window
};
static_assert(sizeof(QueueEntry) == 532);
static_assert(offsetof(QueueEntry, used) == 0);
static_assert(offsetof(QueueEntry, lastSeen) == 4);
static_assert(offsetof(QueueEntry, registeredAt) == 8);
static_assert(offsetof(QueueEntry, queueKind) == 12);
static_assert(offsetof(QueueEntry, name) == 16);
static_assert(offsetof(QueueEntry, window) == 528);

struct QueueDirectory {
    uint32_t managerWindow;  // the current manager's queue window, 0 while none
    QueueEntry entries[kQueueDirectoryEntries];
    uint32_t spare;
};
static_assert(sizeof(QueueDirectory) == 106408);
static_assert(offsetof(QueueDirectory, managerWindow) == 0);
static_assert(offsetof(QueueDirectory, entries) == 4);
static_assert(offsetof(QueueDirectory, spare) == 106404);

struct QueueRecord {
    int32_t queueKind;
    char name[kQueueNameSize];
    uint32_t window;
};
static_assert(sizeof(QueueRecord) == 520);
static_assert(offsetof(QueueRecord, queueKind) == 0);
static_assert(offsetof(QueueRecord, name) == 4);
static_assert(offsetof(QueueRecord, window) == 516);

}  // namespace corvanta
