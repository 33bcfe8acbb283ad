#include "framework/CMessageQueueWnd.h"

#include "framework/CMessageQueueBase.h"
#include "framework/FilterMessages.h"
#include "framework/QueueTimers.h"
#include "platform/WindowSystem.h"

namespace corvanta {

using namespace platform;

CMessageQueueWnd::CMessageQueueWnd()
    : startTimerMessage(RegisterWindowMessage(kStartTimerMessage)),
      stopTimerMessage(RegisterWindowMessage(kStopTimerMessage)),
      registrationAnswerMessage(RegisterWindowMessage(kRegistrationAnswerMessage)),
      registrationBroadcastMessage(RegisterWindowMessage(kRegistrationBroadcastMessage)) {}

bool CMessageQueueWnd::Create() {
    Hwnd h = CreateMessageWindow(name, [this](Hwnd w, uint32_t m, WParam a, LParam b) { return WindowProc(w, m, a, b); });
    m_hwnd = h;
    return h != 0;
}

bool CMessageQueueWnd::InMessageList(uint32_t msg, bool* locked) {
    *locked = messageList.Lock() != 0;
    if (!*locked) return false;
    bool found = false;
    for (size_t i = 0; i < messageList.GetSize() && !found; ++i)
        found = reinterpret_cast<uintptr_t>(messageList.GetAt(i)) == msg;
    messageList.Unlock();
    return found;
}

LResult CMessageQueueWnd::WindowProc(Hwnd h, uint32_t msg, WParam w, LParam l) {
    switch (msg) {
        case WM_TIMER:
            return OnTimerMessage(h, uint32_t(w));
        case WM_COPYDATA:
            return 1;
        case WM_CLOSE:
            LeaveDirectory();
            DestroyWindow(h);
            m_hwnd = 0;
            return 0;
        default:
            break;
    }
    if (msg == registrationBroadcastMessage) {
        if (IsWindow(Hwnd(w))) queue->SendRegistrationAnswer(Hwnd(w), queue->QueueKind());
        return 1;
    }
    if (msg == startTimerMessage) return SetTimer(h, w, uint32_t(l)) ? 1 : 0;
    if (msg == stopTimerMessage) return KillTimer(h, w) ? 1 : 0;
    bool locked = false;
    if (InMessageList(msg, &locked)) return queue->OnMessage(msg, w, l);
    return DefWindowProc(h, msg, w, l);
}

LResult CMessageQueueWnd::OnTimerMessage(Hwnd h, uint32_t timer) {
    if (timer == kTimerAnnounce) {
        SetTimer(h, kTimerAnnounce, kAnnouncePeriodMs);
        Hwnd manager = queue->ManagerWindow(kDirectoryTryLockMs);
        if (IsWindow(manager)) queue->SendRegistrationAnswer(manager, queue->QueueKind());
        return 0;
    }
    if (timer == kTimerLoop) {
        if (loopFlag) queue->OnLoop(loopArgument);
        return 0;
    }
    queue->OnTimer(timer);
    return 0;
}

void CMessageQueueWnd::LeaveDirectory() {
    Hwnd manager = queue->ManagerWindow(INFINITE_WAIT);
    if (IsWindow(manager)) queue->SendRegistrationAnswer(manager, -1);
}

}  // namespace corvanta
