#include "platform/ThreadQueue.h"

#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/LocalWindows.h"
#include "platform/Tick.h"
#include "platform/WindowSystem.h"
#include "platform/WindowTable.h"

namespace corvanta::platform {
namespace {

// How often a waiting sender checks that its target still exists.
constexpr uint32_t kTargetCheckMs = 50;

// How long a waiting sender yields before it sleeps.
constexpr uint64_t kYieldWaitNs = 50'000;

// How long one turn of another event loop dispatches queued messages before
// it lets that loop handle its own events.
constexpr uint64_t kPumpSliceNs = 20'000'000;

enum ReadyBit : uint32_t { kEventReady = 1, kTimerReady = 2, kSocketReady = 4 };

uint32_t ReadyBits(const epoll_event* events, int n, int eventFd, int timerFd) {
    uint32_t bits = 0;
    for (int i = 0; i < n; ++i) {
        int fd = events[i].data.fd;
        bits |= fd == eventFd ? kEventReady : fd == timerFd ? kTimerReady : kSocketReady;
    }
    return bits;
}

struct ProcessQueues {
    std::mutex mutex;
    std::unordered_map<uint32_t, std::weak_ptr<ThreadQueue>> bySerial;
    std::atomic<uint32_t> nextSerial{1};

    static ProcessQueues& Instance() {
        static auto* instance = new ProcessQueues;
        return *instance;
    }
};

// Ends the thread's queue when the thread ends, as its windows end with it.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (queue) queue->Shutdown();
    }
};
thread_local QueueHolder t_queue;

socklen_t SocketAddress(int32_t pid, uint32_t serial, sockaddr_un* a) {
    static const unsigned uid = unsigned(getuid());  // asked once: a system call per datagram otherwise
    std::memset(a, 0, sizeof *a);
    a->sun_family = AF_UNIX;
    int n = std::snprintf(a->sun_path + 1, sizeof a->sun_path - 1, "corvanta.%u.%d.%u", uid, int(pid),
                          unsigned(serial));
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(n));
}

void AtomicStore(uint32_t& w, uint32_t v) { std::atomic_ref<uint32_t>(w).store(v, std::memory_order_relaxed); }

}  // namespace

std::shared_ptr<ThreadQueue> ThreadQueue::Current() {
    if (!t_queue.queue) {
        std::shared_ptr<ThreadQueue> q(new ThreadQueue);
        auto& pq = ProcessQueues::Instance();
        std::lock_guard lock(pq.mutex);
        pq.bySerial[q->m_serial] = q;
        t_queue.queue = std::move(q);
    }
    return t_queue.queue;
}

std::shared_ptr<ThreadQueue> ThreadQueue::FindLocal(uint32_t serial) {
    auto& pq = ProcessQueues::Instance();
    std::lock_guard lock(pq.mutex);
    auto it = pq.bySerial.find(serial);
    return it == pq.bySerial.end() ? nullptr : it->second.lock();
}

ThreadQueue::ThreadQueue() {
    m_serial = ProcessQueues::Instance().nextSerial.fetch_add(1);
    int slot = WindowTable::Instance().AddQueue(m_serial);
    m_slot = slot < 0 ? kMaxQueues : uint32_t(slot);

    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_event = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    m_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un a;
    socklen_t len = SocketAddress(getpid(), m_serial, &a);
    if (bind(m_socket, reinterpret_cast<sockaddr*>(&a), len) != 0)
        std::fprintf(stderr, "corvanta: thread queue socket: %s\n", std::strerror(errno));
    int buf = 1 << 20;
    setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);

    for (int fd : {m_event, m_timerFd, m_socket}) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
    }
}

ThreadQueue::~ThreadQueue() {
    for (int fd : {m_socket, m_timerFd, m_event, m_epoll})
        if (fd >= 0) ::close(fd);
}

void ThreadQueue::Shutdown() {
    std::deque<std::shared_ptr<SentMessage>> sends;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return;
        m_closed = true;
        sends.swap(m_sends);
        m_posted.clear();
    }
    for (auto& s : sends) Complete(s, 0);
    for (Hwnd h : LocalWindows::Instance().OwnedBy(m_serial)) {
        LocalWindows::Instance().Remove(h);
        WindowTable::Instance().RemoveWindow(h);
    }
    m_timers.clear();
    WindowTable::Instance().RemoveQueue(m_slot);
    auto& pq = ProcessQueues::Instance();
    std::lock_guard lock(pq.mutex);
    pq.bySerial.erase(m_serial);
}

void ThreadQueue::Wake() {
    if (!m_signaled.exchange(true)) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_event, &one, sizeof one);
    }
}

bool ThreadQueue::Post(const Msg& m) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return false;
        m_posted.push_back(m);
    }
    Wake();
    return true;
}

bool ThreadQueue::Deliver(const std::shared_ptr<SentMessage>& s) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return false;
        m_sends.push_back(s);
    }
    Wake();
    return true;
}

void ThreadQueue::Drain() {
    if (!m_readyFresh) {
        epoll_event events[4];
        int n = epoll_wait(m_epoll, events, 4, 0);
        m_ready = n > 0 ? ReadyBits(events, n, m_event, m_timerFd) : 0;
    }
    m_readyFresh = false;
    // Only descriptors that are ready are read: each read is a system call
    // on the path of every exchange.
    uint64_t v;
    if (m_ready & kEventReady) [[maybe_unused]] ssize_t n = read(m_event, &v, sizeof v);
    // Cleared after the read and before looking at the queues: a push from
    // here on writes the eventfd again. Cleared before the read, a wake-up
    // landing between the two would be read away with the flag left set,
    // and every later wake-up skipped while the thread sleeps.
    m_signaled.store(false);
    if (m_ready & kTimerReady) {
        [[maybe_unused]] ssize_t n = read(m_timerFd, &v, sizeof v);
        m_armedDue = kTimerUnknown;  // expired: the next wait sets it again
    }
    if (m_ready & kSocketReady) ReceiveDatagrams();
    m_ready = 0;
}

void ThreadQueue::ReceiveDatagrams() {
    constexpr unsigned kBatch = 16;
    WireMessage w[kBatch];
    iovec iov[kBatch];
    mmsghdr msgs[kBatch];
    for (;;) {
        std::memset(msgs, 0, sizeof msgs);
        for (unsigned i = 0; i < kBatch; ++i) {
            iov[i] = iovec{&w[i], sizeof w[i]};
            msgs[i].msg_hdr.msg_iov = &iov[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
        }
        int n = recvmmsg(m_socket, msgs, kBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0) return;
        for (int i = 0; i < n; ++i)
            if (msgs[i].msg_len == sizeof(WireMessage) && w[i].magic == kWireMagic) Receive(w[i]);
        if (unsigned(n) < kBatch) return;
    }
}

void ThreadQueue::Receive(const WireMessage& w) {
    Msg m{w.hwnd, w.message, WParam(w.wParam), LParam(w.lParam)};
    switch (w.type) {
        case kWirePost: {
            std::lock_guard lock(m_mutex);
            m_posted.push_back(m);
            break;
        }
        case kWireSend: {
            auto s = std::make_shared<SentMessage>();
            s->msg = m;
            s->replyPid = w.senderPid;
            s->replySerial = w.senderSerial;
            s->seq = w.seq;
            std::lock_guard lock(m_mutex);
            m_sends.push_back(std::move(s));
            break;
        }
        case kWireReply: {
            auto it = m_replies.find(w.seq);
            if (it != m_replies.end()) it->second = RemoteReply{true, LResult(w.result)};
            break;
        }
        default:
            break;
    }
}

void ThreadQueue::HandleSends() {
    for (;;) {
        std::shared_ptr<SentMessage> s;
        {
            std::lock_guard lock(m_mutex);
            if (m_sends.empty()) return;
            s = std::move(m_sends.front());
            m_sends.pop_front();
        }
        Complete(s, DispatchMessage(s->msg));
    }
}

void ThreadQueue::Complete(const std::shared_ptr<SentMessage>& s, LResult r) {
    if (s->sender) {
        s->result = r;
        s->done.store(true, std::memory_order_release);
        s->sender->Wake();
    } else if (s->replyPid != 0) {
        WireMessage w{};
        w.magic = kWireMagic;
        w.type = kWireReply;
        w.seq = s->seq;
        w.result = r;
        SendWire(s->replyPid, s->replySerial, w);
    }
}

bool ThreadQueue::SendWire(int32_t pid, uint32_t serial, const WireMessage& w) {
    sockaddr_un a;
    socklen_t len = SocketAddress(pid, serial, &a);
    // A full receive buffer means a busy peer: give it a while, then give up.
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (sendto(m_socket, &w, sizeof w, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), len) == ssize_t(sizeof w))
            return true;
        if (errno != EAGAIN && errno != EINTR) return false;
        SleepMs(1);
    }
    return false;
}

bool ThreadQueue::PopPosted(Msg* out, bool remove) {
    std::lock_guard lock(m_mutex);
    if (m_posted.empty()) return false;
    *out = m_posted.front();
    if (remove) m_posted.pop_front();
    return true;
}

bool ThreadQueue::DueTimer(Msg* out, bool remove) {
    uint64_t now = MonotonicMs();
    Timer* due = nullptr;
    for (auto& t : m_timers)
        if (t.due <= now && (!due || t.due < due->due)) due = &t;
    if (!due) return false;
    *out = Msg{due->hwnd, WM_TIMER, WParam(due->id), 0};
    if (remove) due->due = now + due->period;
    return true;
}

void ThreadQueue::ArmTimerFd() {
    uint64_t due = 0;
    if (!m_timers.empty()) {
        due = std::min_element(m_timers.begin(), m_timers.end(),
                               [](const Timer& a, const Timer& b) { return a.due < b.due; })
                  ->due;
        due = std::max<uint64_t>(due, 1);  // 0 would disarm
    }
    // Most waits keep the deadline they had; re-arming is a system call.
    if (due == m_armedDue) return;
    itimerspec timer{};
    timer.it_value.tv_sec = time_t(due / 1000);
    timer.it_value.tv_nsec = long(due % 1000) * 1000000L;
    if (due == 1) timer.it_value = timespec{0, 1};
    timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &timer, nullptr);
    m_armedDue = due;
}

void ThreadQueue::MarkBusy() {
    if (m_slot >= kMaxQueues) return;
    QueueSlot& q = WindowTable::Instance().Queue(m_slot);
    AtomicStore(q.busySince, TickCount());
    AtomicStore(q.waiting, 0);
}

void ThreadQueue::WaitForActivity(int timeoutMs, bool armTimers) {
    if (armTimers) ArmTimerFd();
    if (m_slot < kMaxQueues) AtomicStore(WindowTable::Instance().Queue(m_slot).waiting, 1);
    epoll_event events[4];
    int n = epoll_wait(m_epoll, events, 4, timeoutMs);
    m_ready = n > 0 ? ReadyBits(events, n, m_event, m_timerFd) : 0;
    m_readyFresh = true;
    MarkBusy();
}

bool ThreadQueue::GetMessage(Msg* out) {
    for (;;) {
        Drain();
        HandleSends();
        if (PopPosted(out, true)) return out->message != WM_QUIT;
        if (m_quit) {
            m_quit = false;
            *out = Msg{0, WM_QUIT, WParam(m_quitCode), 0};
            return false;
        }
        if (DueTimer(out, true)) return true;
        WaitForActivity(-1, true);
    }
}

bool ThreadQueue::PeekMessage(Msg* out, bool remove) {
    Drain();
    HandleSends();
    if (PopPosted(out, remove)) return true;
    if (m_quit) {
        if (remove) m_quit = false;
        *out = Msg{0, WM_QUIT, WParam(m_quitCode), 0};
        return true;
    }
    return DueTimer(out, remove);
}

void ThreadQueue::PumpPending() {
    MarkBusy();
    Msg m;
    // Bounded in count and in time, so neither a stream of posts nor a timer
    // whose handler waits on a stalled recorder (and is due again when it
    // returns) keeps the outer loop from its own input. What is left wakes
    // the loop again.
    const uint64_t end = MonotonicNs() + kPumpSliceNs;
    int budget = 1000;
    bool more = false;
    while ((more = PeekMessage(&m, true))) {
        if (m.message != WM_QUIT) DispatchMessage(m);
        if (--budget == 0 || MonotonicNs() >= end) break;
    }
    if (more) Wake();
    ArmTimerFd();
    if (m_slot < kMaxQueues) AtomicStore(WindowTable::Instance().Queue(m_slot).waiting, 1);
}

bool ThreadQueue::TargetGone(Hwnd target) { return !WindowTable::Instance().IsWindow(target); }

template <typename Done>
bool ThreadQueue::WaitUntil(Done done, Hwnd target, uint32_t flags, uint32_t timeoutMs, bool replyByDatagram) {
    // A target whose last answer took longer than the yield window (a stream
    // proxy decoding a frame) is waited for asleep from the start.
    AnswerSpeed& speed = m_answerSpeed[target % m_answerSpeed.size()];
    const bool yield = speed.target != target || !speed.slow;
    const uint64_t began = MonotonicNs();
    // A timer that expired during the wait was read off its descriptor. A
    // thread whose loop is another event loop waits on that descriptor
    // only, so it is armed again before going back.
    struct Rearm {
        ThreadQueue* q;
        ~Rearm() { q->ArmTimerFd(); }
    } rearm{this};
    const bool answered = (yield && YieldWait(done, flags, replyByDatagram)) ||
                          SleepWait(done, target, flags, timeoutMs);
    speed = AnswerSpeed{target, MonotonicNs() - began > kYieldWaitNs};
    return answered;
}

// Most answers take microseconds. Yielding meanwhile runs a receiver woken
// on this CPU at once, and lets one on another CPU answer without having to
// wake this one: both are what sleeping costs.
template <typename Done>
bool ThreadQueue::YieldWait(Done& done, uint32_t flags, bool replyByDatagram) {
    for (const uint64_t end = MonotonicNs() + kYieldWaitNs; MonotonicNs() < end;) {
        if (done()) return true;
        if (replyByDatagram) ReceiveDatagrams();
        if (!(flags & SMTO_BLOCK)) HandleSends();
        sched_yield();
    }
    return false;
}

template <typename Done>
bool ThreadQueue::SleepWait(Done& done, Hwnd target, uint32_t flags, uint32_t timeoutMs) {
    uint64_t start = MonotonicMs();
    uint64_t nextCheck = start + kTargetCheckMs;
    for (;;) {
        if (done()) return true;
        uint64_t now = MonotonicMs();
        if (timeoutMs != kInfinite && now - start >= timeoutMs) return false;
        if (now >= nextCheck) {
            if (TargetGone(target)) return false;
            nextCheck = now + kTargetCheckMs;
        }
        uint64_t wait = nextCheck - now;
        if (timeoutMs != kInfinite) wait = std::min<uint64_t>(wait, start + timeoutMs - now);
        WaitForActivity(int(wait), false);
        Drain();
        if (!(flags & SMTO_BLOCK)) HandleSends();
    }
}

bool ThreadQueue::WaitForLocal(const std::shared_ptr<SentMessage>& s, Hwnd target, uint32_t flags, uint32_t timeoutMs) {
    return WaitUntil([&] { return s->done.load(std::memory_order_acquire); }, target, flags, timeoutMs, false);
}

bool ThreadQueue::WaitForRemote(uint64_t seq, Hwnd target, uint32_t flags, uint32_t timeoutMs, LResult* result) {
    const bool ok = WaitUntil(
        [&] {
            auto it = m_replies.find(seq);
            if (it == m_replies.end() || !it->second.done) return false;
            *result = it->second.result;
            return true;
        },
        target, flags, timeoutMs, true);
    m_replies.erase(seq);
    return ok;
}

bool ThreadQueue::SetTimer(Hwnd h, uintptr_t id, uint32_t periodMs) {
    uint64_t now = MonotonicMs();
    // A zero period fires at once and then as often as the system allows.
    uint32_t period = periodMs == 0 ? 10 : periodMs;
    for (auto& t : m_timers) {
        if (t.hwnd == h && t.id == id) {
            t.period = period;
            t.due = now + periodMs;
            ArmTimerFd();
            return true;
        }
    }
    m_timers.push_back(Timer{h, id, period, now + periodMs});
    // Set outside a loop (from an event of another event loop, say), it
    // must still wake the descriptor that loop watches.
    ArmTimerFd();
    return true;
}

bool ThreadQueue::KillTimer(Hwnd h, uintptr_t id) {
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == h && t.id == id; });
    if (it == m_timers.end()) return false;
    m_timers.erase(it);
    return true;
}

void ThreadQueue::ForgetWindow(Hwnd h) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == h; });
}

}  // namespace corvanta::platform
