#pragma once
// The user-wide table behind window handles: one shared region that every
// process of the user maps. It holds the window slots (title, owner process
// and queue), the thread queue slots (their address and liveness) and the
// registered message names.

#include <pthread.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SharedRegion.h"
#include "platform/WindowTypes.h"

namespace corvanta::platform {

inline constexpr uint32_t kMaxWindows = 4096;
inline constexpr uint32_t kMaxQueues = 1024;
inline constexpr uint32_t kMaxRegisteredMessages = 2048;

struct WindowSlot {
    uint32_t generation;  // advanced each time the slot is freed; part of the handle
    uint32_t live;        // 1 while the window exists
    int32_t pid;          // owner process
    uint32_t queue;       // owner thread's queue slot
    char title[kMaxTitleLength + 1];
};
static_assert(sizeof(WindowSlot) == 528);
static_assert(offsetof(WindowSlot, generation) == 0);
static_assert(offsetof(WindowSlot, live) == 4);
static_assert(offsetof(WindowSlot, pid) == 8);
static_assert(offsetof(WindowSlot, queue) == 12);
static_assert(offsetof(WindowSlot, title) == 16);

struct QueueSlot {
    uint32_t live;          // 1 while the thread queue exists
    int32_t pid;            // its process
    uint32_t serial;        // its number within the process; with pid, its socket address
    uint32_t waiting;       // 1 while the thread sits in its loop with nothing to do
    uint32_t busySince;     // tick when it last left its loop to handle work
    uint32_t startTime[2];  // its process's start (low, high word): with pid, who owns it
    uint32_t spare;
};
static_assert(sizeof(QueueSlot) == 32);
static_assert(offsetof(QueueSlot, live) == 0);
static_assert(offsetof(QueueSlot, pid) == 4);
static_assert(offsetof(QueueSlot, serial) == 8);
static_assert(offsetof(QueueSlot, waiting) == 12);
static_assert(offsetof(QueueSlot, busySince) == 16);
static_assert(offsetof(QueueSlot, startTime) == 20);

struct MessageName {
    char name[kMaxMessageNameLength + 1];
};
static_assert(sizeof(MessageName) == 256);

struct WindowTableLayout {
    uint32_t magic;
    uint32_t version;
    uint32_t messageCount;
    uint32_t spare;
    pthread_mutex_t lock;  // robust, shared between processes
    QueueSlot queues[kMaxQueues];
    WindowSlot windows[kMaxWindows];
    MessageName messages[kMaxRegisteredMessages];
};
static_assert(offsetof(WindowTableLayout, lock) == 16);

// Where a window's owner thread can be reached.
struct WindowOwner {
    int32_t pid;
    uint32_t queue;   // queue slot
    uint32_t serial;  // queue serial within pid
};

class WindowTable {
public:
    // The table of this user, mapped once per process.
    static WindowTable& Instance();

    // 0 when the table is full or the title is too long.
    Hwnd AddWindow(std::string_view title, uint32_t queueSlot);
    void RemoveWindow(Hwnd h);
    bool IsWindow(Hwnd h);
    std::optional<std::string> Title(Hwnd h);
    // Does not ask whether the owner process still runs (a system call on
    // every send): a datagram to a process that died fails anyway.
    std::optional<WindowOwner> Owner(Hwnd h);
    // First live window with exactly this title.
    Hwnd FindWindow(std::string_view title);

    // A slot for a new thread queue of this process; -1 when full.
    int AddQueue(uint32_t serial);
    void RemoveQueue(uint32_t slot);
    QueueSlot& Queue(uint32_t slot) { return m_table->queues[slot]; }
    bool IsHung(uint32_t queueSlot);

    // 0 for an empty or too long name, or a full table.
    uint32_t RegisterMessage(std::string_view name);

private:
    WindowTable();
    class Guard;
    // The process of queue slot `q` still runs; a window's is its queue's.
    bool QueueAlive(const QueueSlot& q) const;
    bool WindowAlive(const WindowSlot& w) const;
    // The slot of `h` is live and of h's generation.
    bool SlotHolds(Hwnd h) const;
    void ReclaimDeadLocked();

    SharedRegion m_region;
    WindowTableLayout* m_table = nullptr;
    pid_t m_pid;
};

}  // namespace corvanta::platform
