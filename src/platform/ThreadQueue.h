#pragma once
// One message queue per thread: posted messages, messages sent to the
// thread's windows (from this process or another), replies it waits for,
// and its window timers. A thread gets its queue the first time it needs one.
//
// Waking: other threads of the process push under the queue's mutex and
// write an eventfd; other processes send datagrams to the queue's socket;
// timers arm a timerfd. All three sit behind one epoll descriptor, which is
// what an outer event loop watches when it drives the queue.

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/Tick.h"
#include "platform/WindowTypes.h"
#include "platform/WireMessage.h"

namespace corvanta::platform {

class ThreadQueue;

// A message sent and not yet answered.
struct SentMessage {
    Msg msg;
    std::atomic<bool> done{false};
    LResult result = 0;
    std::shared_ptr<ThreadQueue> sender;  // local sender to wake, or null
    int32_t replyPid = 0;                 // remote sender to answer
    uint32_t replySerial = 0;
    uint64_t seq = 0;
};

class ThreadQueue : public std::enable_shared_from_this<ThreadQueue> {
public:
    // The calling thread's queue, made on first use.
    static std::shared_ptr<ThreadQueue> Current();
    // A queue of this process by its serial (thread id), or null.
    static std::shared_ptr<ThreadQueue> FindLocal(uint32_t serial);

    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    uint32_t Serial() const { return m_serial; }
    uint32_t Slot() const { return m_slot; }
    int WaitFd() const { return m_epoll; }

    // From any thread. False once the queue's thread has ended.
    bool Post(const Msg& m);
    bool Deliver(const std::shared_ptr<SentMessage>& s);

    // On the owning thread only.
    bool GetMessage(Msg* out);
    bool PeekMessage(Msg* out, bool remove);
    // Dispatches everything waiting, then marks the thread idle; for outer loops.
    void PumpPending();
    // Waits for `s` (delivered to another local thread) or for the remote
    // reply `seq`. Returns false on time-out or when the target went away.
    bool WaitForLocal(const std::shared_ptr<SentMessage>& s, Hwnd target, uint32_t flags, uint32_t timeoutMs);
    bool WaitForRemote(uint64_t seq, Hwnd target, uint32_t flags, uint32_t timeoutMs, LResult* result);
    // A sequence number whose reply WaitForRemote can wait for; Cancel drops it.
    uint64_t ExpectReply() {
        m_replies[++m_seq] = RemoteReply{};
        return m_seq;
    }
    void CancelReply(uint64_t seq) { m_replies.erase(seq); }
    // Sends one datagram to a queue of another process.
    bool SendWire(int32_t pid, uint32_t serial, const WireMessage& w);

    bool SetTimer(Hwnd h, uintptr_t id, uint32_t periodMs);
    bool KillTimer(Hwnd h, uintptr_t id);
    void ForgetWindow(Hwnd h);

    // Ends the queue: its windows go, waiting senders are answered 0.
    void Shutdown();

private:
    // Serves the queue until done() holds, the time-out passes or the target
    // window is gone; checks the target every kTargetCheckMs.
    template <typename Done>
    bool WaitUntil(Done done, Hwnd target, uint32_t flags, uint32_t timeoutMs, bool replyByDatagram);
    template <typename Done>
    bool YieldWait(Done& done, uint32_t flags, bool replyByDatagram);
    template <typename Done>
    bool SleepWait(Done& done, Hwnd target, uint32_t flags, uint32_t timeoutMs);
    struct Timer {
        Hwnd hwnd;
        uintptr_t id;
        uint32_t period;
        uint64_t due;
    };
    struct RemoteReply {
        bool done = false;
        LResult result = 0;
    };

    ThreadQueue();
    void Wake();
    void Drain();
    void Receive(const WireMessage& w);
    void HandleSends();
    void Complete(const std::shared_ptr<SentMessage>& s, LResult r);
    bool PopPosted(Msg* out, bool remove);
    bool DueTimer(Msg* out, bool remove);
    void ArmTimerFd();
    void WaitForActivity(int timeoutMs, bool armTimers);
    void ReceiveDatagrams();
    void MarkBusy();
    bool TargetGone(Hwnd target);

    uint32_t m_serial = 0;
    uint32_t m_slot = 0;
    int m_epoll = -1;
    int m_event = -1;
    int m_timerFd = -1;
    // The deadline the timer descriptor holds (0 = none).
    static constexpr uint64_t kTimerUnknown = ~uint64_t{0};
    uint64_t m_armedDue = kTimerUnknown;
    int m_socket = -1;
    std::atomic<bool> m_signaled{false};
    // Whether a target's last answer came after the yield window, by target.
    struct AnswerSpeed {
        Hwnd target = 0;
        bool slow = false;
    };
    std::array<AnswerSpeed, 16> m_answerSpeed{};
    // Which descriptors the last wait saw ready; `m_readyFresh` while unused.
    uint32_t m_ready = 0;
    bool m_readyFresh = false;

    std::mutex m_mutex;  // guards the three below
    std::deque<Msg> m_posted;
    std::deque<std::shared_ptr<SentMessage>> m_sends;
    bool m_closed = false;

    // Owner thread only.
    std::vector<Timer> m_timers;
    std::unordered_map<uint64_t, RemoteReply> m_replies;
    uint64_t m_seq = 0;
    bool m_quit = false;
    int m_quitCode = 0;

    friend void PostQuitMessage(int);
};

}  // namespace corvanta::platform
