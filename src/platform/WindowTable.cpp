#include "platform/WindowTable.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ProcessLiveness.h"
#include "platform/Tick.h"

namespace corvanta::platform {
namespace {

constexpr uint32_t kMagic = 0x57544231;  // "WTB1"
constexpr uint32_t kVersion = 1;

uint32_t Load(const uint32_t& w) { return std::atomic_ref<const uint32_t>(w).load(std::memory_order_acquire); }
int32_t Load(const int32_t& w) { return std::atomic_ref<const int32_t>(w).load(std::memory_order_acquire); }
void Store(uint32_t& w, uint32_t v) { std::atomic_ref<uint32_t>(w).store(v, std::memory_order_release); }
uint64_t StartTimeOf(const QueueSlot& q) { return uint64_t(Load(q.startTime[1])) << 32 | Load(q.startTime[0]); }

uint32_t SlotOf(Hwnd h) { return (h & 0xFFFFu) - 1; }
uint32_t GenerationOf(Hwnd h) { return h >> 16; }
Hwnd MakeHandle(uint32_t slot, uint32_t generation) { return ((generation & 0x7FFFu) << 16) | (slot + 1); }

void InitTable(void* p, size_t) {
    auto* t = static_cast<WindowTableLayout*>(p);
    pthread_mutexattr_t a;
    pthread_mutexattr_init(&a);
    pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED);
    pthread_mutex_init(&t->lock, &a);
    pthread_mutexattr_destroy(&a);
    t->version = kVersion;
    t->magic = kMagic;
}

}  // namespace

class WindowTable::Guard {
public:
    explicit Guard(WindowTableLayout* t) : m_t(t) {
        if (pthread_mutex_lock(&t->lock) == EOWNERDEAD) pthread_mutex_consistent(&t->lock);
    }
    ~Guard() { pthread_mutex_unlock(&m_t->lock); }

private:
    WindowTableLayout* m_t;
};

WindowTable& WindowTable::Instance() {
    static WindowTable table;
    return table;
}

WindowTable::WindowTable() : m_pid(getpid()) {
    std::string name = "window table v" + std::to_string(kVersion);
    auto r = SharedRegion::Open(name, sizeof(WindowTableLayout), SharedRegion::Mode::CreateOrOpen, InitTable);
    if (!r || static_cast<WindowTableLayout*>(r.Value().Data())->magic != kMagic) {
        std::fprintf(stderr, "corvanta: cannot map the window table (%s)\n",
                     r ? "bad layout" : r.Error().Message().c_str());
        std::abort();
    }
    m_region = std::move(r.Value());
    m_table = static_cast<WindowTableLayout*>(m_region.Data());
}

bool WindowTable::QueueAlive(const QueueSlot& q) const {
    const int32_t pid = Load(q.pid);
    return pid == m_pid || ProcessRunning(pid, StartTimeOf(q));
}

bool WindowTable::WindowAlive(const WindowSlot& w) const {
    const int32_t pid = Load(w.pid);
    if (pid == m_pid) return true;
    const uint32_t queue = Load(w.queue);
    // A queue slot taken over by another process tells nothing about this one.
    const bool queueKnown = queue < kMaxQueues && Load(m_table->queues[queue].pid) == pid;
    return ProcessRunning(pid, queueKnown ? StartTimeOf(m_table->queues[queue]) : 0);
}

// Slots of processes that died without cleaning up.
void WindowTable::ReclaimDeadLocked() {
    for (auto& q : m_table->queues)
        if (q.live && !QueueAlive(q)) Store(q.live, 0);
    for (auto& w : m_table->windows) {
        if (w.live && !WindowAlive(w)) {
            Store(w.live, 0);
            Store(w.generation, w.generation + 1);
        }
    }
}

Hwnd WindowTable::AddWindow(std::string_view title, uint32_t queueSlot) {
    if (title.size() > kMaxTitleLength) return 0;
    Guard g(m_table);
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t i = 0; i < kMaxWindows; ++i) {
            WindowSlot& w = m_table->windows[i];
            if (w.live) continue;
            w.pid = m_pid;
            w.queue = queueSlot;
            std::memset(w.title, 0, sizeof w.title);
            std::memcpy(w.title, title.data(), title.size());
            Store(w.live, 1);
            return MakeHandle(i, w.generation);
        }
        ReclaimDeadLocked();
    }
    return 0;
}

void WindowTable::RemoveWindow(Hwnd h) {
    uint32_t i = SlotOf(h);
    if (i >= kMaxWindows) return;
    Guard g(m_table);
    WindowSlot& w = m_table->windows[i];
    if (!w.live || (w.generation & 0x7FFFu) != GenerationOf(h)) return;
    Store(w.live, 0);
    Store(w.generation, w.generation + 1);
}

bool WindowTable::SlotHolds(Hwnd h) const {
    uint32_t i = SlotOf(h);
    if (h == 0 || i >= kMaxWindows) return false;
    const WindowSlot& w = m_table->windows[i];
    return Load(w.live) && (Load(w.generation) & 0x7FFFu) == GenerationOf(h);
}

bool WindowTable::IsWindow(Hwnd h) { return SlotHolds(h) && WindowAlive(m_table->windows[SlotOf(h)]); }

std::optional<std::string> WindowTable::Title(Hwnd h) {
    if (!IsWindow(h)) return std::nullopt;
    Guard g(m_table);
    const WindowSlot& w = m_table->windows[SlotOf(h)];
    return std::string(w.title, strnlen(w.title, sizeof w.title));
}

std::optional<WindowOwner> WindowTable::Owner(Hwnd h) {
    if (!SlotHolds(h)) return std::nullopt;
    const WindowSlot& w = m_table->windows[SlotOf(h)];
    uint32_t q = Load(w.queue);
    if (q >= kMaxQueues) return std::nullopt;
    return WindowOwner{Load(w.pid), q, Load(m_table->queues[q].serial)};
}

Hwnd WindowTable::FindWindow(std::string_view title) {
    Guard g(m_table);
    for (uint32_t i = 0; i < kMaxWindows; ++i) {
        const WindowSlot& w = m_table->windows[i];
        if (w.live && WindowAlive(w) && title == std::string_view(w.title, strnlen(w.title, sizeof w.title)))
            return MakeHandle(i, w.generation);
    }
    return 0;
}

int WindowTable::AddQueue(uint32_t serial) {
    Guard g(m_table);
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t i = 0; i < kMaxQueues; ++i) {
            QueueSlot& q = m_table->queues[i];
            if (q.live) continue;
            q.pid = m_pid;
            q.serial = serial;
            q.waiting = 0;
            q.busySince = TickCount();
            q.startTime[0] = uint32_t(OwnProcessStartTime());
            q.startTime[1] = uint32_t(OwnProcessStartTime() >> 32);
            Store(q.live, 1);
            return int(i);
        }
        ReclaimDeadLocked();
    }
    return -1;
}

void WindowTable::RemoveQueue(uint32_t slot) {
    if (slot >= kMaxQueues) return;
    Guard g(m_table);
    Store(m_table->queues[slot].live, 0);
}

bool WindowTable::IsHung(uint32_t slot) {
    if (slot >= kMaxQueues) return false;
    const QueueSlot& q = m_table->queues[slot];
    if (Load(q.waiting)) return false;
    return TickCount() - Load(q.busySince) > kHungAfterMs;
}

uint32_t WindowTable::RegisterMessage(std::string_view name) {
    if (name.empty() || name.size() > kMaxMessageNameLength) return 0;
    Guard g(m_table);
    uint32_t n = m_table->messageCount;
    for (uint32_t i = 0; i < n && i < kMaxRegisteredMessages; ++i)
        if (name == m_table->messages[i].name) return kFirstRegisteredMessage + i;
    if (n >= kMaxRegisteredMessages) return 0;
    std::memset(m_table->messages[n].name, 0, sizeof m_table->messages[n].name);
    std::memcpy(m_table->messages[n].name, name.data(), name.size());
    m_table->messageCount = n + 1;
    return kFirstRegisteredMessage + n;
}

}  // namespace corvanta::platform
