#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/WindowTypes.h"
#include "stores/CLockedPtrArray.h"

namespace corvanta {

class CMessageQueueBase;

// The hidden window of a queue: its title is the queue name. It handles the
// queue-management messages itself and hands the numbers in its message
// list to the queue.
class CMessageQueueWnd {
public:
    CMessageQueueWnd();
    CMessageQueueWnd(const CMessageQueueWnd&) = delete;
    CMessageQueueWnd& operator=(const CMessageQueueWnd&) = delete;

    // Makes the window on the calling thread, which then owns it.
    bool Create();
    platform::Hwnd Handle() const { return m_hwnd.load(); }
    void Forget() { m_hwnd = 0; }

    uint32_t startTimerMessage;
    uint32_t stopTimerMessage;
    uint32_t registrationAnswerMessage;
    uint32_t registrationBroadcastMessage;
    std::atomic<bool> loopFlag{false};
    std::atomic<uint32_t> loopArgument{0};
    CMessageQueueBase* queue = nullptr;
    CLockedPtrArray messageList;  // message numbers, stored as pointers
    std::string name;

private:
    platform::LResult WindowProc(platform::Hwnd h, uint32_t msg, platform::WParam w, platform::LParam l);
    platform::LResult OnTimerMessage(platform::Hwnd h, uint32_t timer);
    void LeaveDirectory();
    bool InMessageList(uint32_t msg, bool* locked);

    std::atomic<platform::Hwnd> m_hwnd{0};
};

}  // namespace corvanta
