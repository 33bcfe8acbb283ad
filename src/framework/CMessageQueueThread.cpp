#include "framework/CMessageQueueThread.h"

#include "framework/CMessageQueueWnd.h"
#include "framework/QueueTimers.h"
#include "platform/WindowSystem.h"

namespace corvanta {

using namespace platform;

CMessageQueueThread::~CMessageQueueThread() { End(); }

void CMessageQueueThread::Start(Hwnd parent, CMessageQueueBase* queue, CMessageQueueWnd* window,
                                const std::string& name) {
    // The parent only matters for window ownership on Windows;
    // message-only windows here have none. Priorities stay the default: raising
    // them needs privileges and no queue depends on it.
    m_parent = parent;
    m_queue = queue;
    m_window = window;
    m_name = name;
    m_thread = std::thread([this] { Run(); });
    m_created.Wait();
}

void CMessageQueueThread::Run() {
    m_threadId = CurrentThreadId();
    m_window->Create();
    m_created.Set();
    Msg m;
    while (GetMessage(&m)) {
        if (m.hwnd == 0 && m.message == kEndQueueThreadMessage) break;
        DispatchMessage(m);
    }
    m_window->Forget();
}

void CMessageQueueThread::End() {
    if (!m_thread.joinable()) return;
    PostThreadMessage(m_threadId, kEndQueueThreadMessage, 0, 0);
    m_thread.join();
}

}  // namespace corvanta
