#pragma once
#include <string>
#include <thread>

#include "platform/ManualResetEvent.h"
#include "platform/WindowTypes.h"

namespace corvanta {

class CMessageQueueBase;
class CMessageQueueWnd;

// A thread with its own message loop that makes and owns a queue's window.
// The thread message WM_USER + 2 ends its loop.
class CMessageQueueThread {
public:
    explicit CMessageQueueThread(int priority) : m_priority(priority) {}
    ~CMessageQueueThread();
    CMessageQueueThread(const CMessageQueueThread&) = delete;
    CMessageQueueThread& operator=(const CMessageQueueThread&) = delete;

    // Starts the thread; returns once its window exists.
    void Start(platform::Hwnd parent, CMessageQueueBase* queue, CMessageQueueWnd* window, const std::string& name);
    // Ends the loop and waits for the thread. Must not run on the thread itself.
    void End();
    uint32_t ThreadId() const { return m_threadId; }
    // Kept for the record; threads run at the default priority (see Start).
    int Priority() const { return m_priority; }

private:
    void Run();

    int m_priority;
    platform::Hwnd m_parent = 0;
    std::string m_name;
    platform::ManualResetEvent m_created;
    CMessageQueueBase* m_queue = nullptr;
    CMessageQueueWnd* m_window = nullptr;
    uint32_t m_threadId = 0;
    std::thread m_thread;
};

}  // namespace corvanta
