#include "platform/WindowSystem.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include "platform/LocalWindows.h"
#include "platform/ThreadQueue.h"
#include "platform/WindowTable.h"

namespace corvanta::platform {
namespace {

// getpid is a system call, and every send asks; a forked child asks again.
std::atomic<pid_t> g_pid{0};
[[maybe_unused]] const int kForgetPidInChild = pthread_atfork(nullptr, nullptr, [] { g_pid.store(0); });

pid_t ThisProcess() {
    pid_t pid = g_pid.load(std::memory_order_relaxed);
    if (pid == 0) g_pid.store(pid = getpid(), std::memory_order_relaxed);
    return pid;
}

LResult SendLocal(Hwnd h, const LocalWindow& target, const Msg& m, uint32_t flags, uint32_t timeoutMs,
                  bool* ok) {
    auto self = ThreadQueue::Current();
    auto owner = target.owner.lock();
    *ok = false;
    if (!owner) return 0;
    if (owner == self) {
        *ok = true;
        return (*target.proc)(h, m.message, m.wParam, m.lParam);
    }
    if ((flags & SMTO_ABORTIFHUNG) && WindowTable::Instance().IsHung(owner->Slot())) return 0;
    auto s = std::make_shared<SentMessage>();
    s->msg = m;
    s->sender = self;
    if (!owner->Deliver(s)) return 0;
    if (!self->WaitForLocal(s, h, flags, timeoutMs)) return 0;
    *ok = true;
    return s->result;
}

LResult SendRemote(Hwnd h, const WindowOwner& owner, const Msg& m, uint32_t flags, uint32_t timeoutMs, bool* ok) {
    *ok = false;
    if ((flags & SMTO_ABORTIFHUNG) && WindowTable::Instance().IsHung(owner.queue)) return 0;
    auto self = ThreadQueue::Current();
    WireMessage w{};
    w.magic = kWireMagic;
    w.type = kWireSend;
    w.hwnd = h;
    w.message = m.message;
    w.wParam = m.wParam;
    w.lParam = m.lParam;
    w.senderPid = ThisProcess();
    w.senderSerial = self->Serial();
    w.seq = self->ExpectReply();
    LResult result = 0;
    if (!self->SendWire(owner.pid, owner.serial, w)) {
        self->CancelReply(w.seq);
        return 0;
    }
    *ok = self->WaitForRemote(w.seq, h, flags, timeoutMs, &result);
    return *ok ? result : 0;
}

LResult Send(Hwnd h, const Msg& m, uint32_t flags, uint32_t timeoutMs, bool* ok) {
    *ok = false;
    LocalWindow local;
    if (LocalWindows::Instance().Find(h, &local)) return SendLocal(h, local, m, flags, timeoutMs, ok);
    auto owner = WindowTable::Instance().Owner(h);
    if (!owner || owner->pid == ThisProcess()) return 0;
    return SendRemote(h, *owner, m, flags, timeoutMs, ok);
}

}  // namespace

Hwnd CreateMessageWindow(std::string_view title, WindowProc proc) {
    auto q = ThreadQueue::Current();
    Hwnd h = WindowTable::Instance().AddWindow(title, q->Slot());
    if (h == 0) return 0;
    LocalWindows::Instance().Add(h, LocalWindow{std::make_shared<WindowProc>(std::move(proc)), q, q->Serial()});
    return h;
}

bool DestroyWindow(Hwnd h) {
    LocalWindow w;
    if (!LocalWindows::Instance().Find(h, &w)) return false;
    auto q = ThreadQueue::Current();
    if (w.owner.lock() != q) return false;
    (*w.proc)(h, WM_DESTROY, 0, 0);
    (*w.proc)(h, WM_NCDESTROY, 0, 0);
    q->ForgetWindow(h);
    LocalWindows::Instance().Remove(h);
    WindowTable::Instance().RemoveWindow(h);
    return true;
}

bool IsWindow(Hwnd h) { return WindowTable::Instance().IsWindow(h); }

std::string GetWindowText(Hwnd h) { return WindowTable::Instance().Title(h).value_or(std::string()); }

Hwnd FindWindowByTitle(std::string_view title) { return WindowTable::Instance().FindWindow(title); }

uint32_t RegisterWindowMessage(std::string_view name) { return WindowTable::Instance().RegisterMessage(name); }

bool PostMessage(Hwnd h, uint32_t msg, WParam w, LParam l) {
    LocalWindow local;
    if (LocalWindows::Instance().Find(h, &local)) {
        auto owner = local.owner.lock();
        return owner && owner->Post(Msg{h, msg, w, l});
    }
    auto owner = WindowTable::Instance().Owner(h);
    if (!owner || owner->pid == ThisProcess()) return false;
    WireMessage wm{};
    wm.magic = kWireMagic;
    wm.type = kWirePost;
    wm.hwnd = h;
    wm.message = msg;
    wm.wParam = w;
    wm.lParam = l;
    return ThreadQueue::Current()->SendWire(owner->pid, owner->serial, wm);
}

LResult SendMessage(Hwnd h, uint32_t msg, WParam w, LParam l) {
    bool ok;
    return Send(h, Msg{h, msg, w, l}, SMTO_NORMAL, kInfinite, &ok);
}

bool SendMessageTimeout(Hwnd h, uint32_t msg, WParam w, LParam l, uint32_t flags, uint32_t timeoutMs,
                        LResult* result) {
    bool ok;
    LResult r = Send(h, Msg{h, msg, w, l}, flags, timeoutMs, &ok);
    if (result) *result = ok ? r : 0;
    return ok;
}

uint32_t CurrentThreadId() { return ThreadQueue::Current()->Serial(); }

bool PostThreadMessage(uint32_t threadId, uint32_t msg, WParam w, LParam l) {
    auto q = ThreadQueue::FindLocal(threadId);
    return q && q->Post(Msg{0, msg, w, l});
}

void PostQuitMessage(int code) {
    auto q = ThreadQueue::Current();
    q->m_quit = true;
    q->m_quitCode = code;
}

bool SetTimer(Hwnd h, uintptr_t id, uint32_t periodMs) {
    LocalWindow w;
    auto q = ThreadQueue::Current();
    if (!LocalWindows::Instance().Find(h, &w) || w.owner.lock() != q) return false;
    return q->SetTimer(h, id, periodMs);
}

bool KillTimer(Hwnd h, uintptr_t id) {
    LocalWindow w;
    auto q = ThreadQueue::Current();
    if (!LocalWindows::Instance().Find(h, &w) || w.owner.lock() != q) return false;
    return q->KillTimer(h, id);
}

bool GetMessage(Msg* out) { return ThreadQueue::Current()->GetMessage(out); }

bool PeekMessage(Msg* out, bool remove) { return ThreadQueue::Current()->PeekMessage(out, remove); }

LResult DispatchMessage(const Msg& m) {
    if (m.hwnd == 0) return 0;
    LocalWindow w;
    if (!LocalWindows::Instance().Find(m.hwnd, &w)) return 0;
    if (w.ownerSerial != ThreadQueue::Current()->Serial()) return 0;
    return (*w.proc)(m.hwnd, m.message, m.wParam, m.lParam);
}

LResult DefWindowProc(Hwnd h, uint32_t msg, WParam, LParam) {
    if (msg == WM_CLOSE) DestroyWindow(h);
    return 0;
}

int MessageQueueFd() { return ThreadQueue::Current()->WaitFd(); }

void PumpMessages() { ThreadQueue::Current()->PumpPending(); }

}  // namespace corvanta::platform
