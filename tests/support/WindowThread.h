#pragma once
// A thread that owns one window and runs its message loop until Stop.

#include <future>
#include <thread>

#include "platform/WindowSystem.h"

namespace corvanta::test {

class WindowThread {
public:
    explicit WindowThread(platform::WindowProc proc, std::string title = "test window") {
        std::promise<std::pair<platform::Hwnd, uint32_t>> made;
        auto ready = made.get_future();
        m_thread = std::thread([&made, proc = std::move(proc), title] {
            platform::Hwnd h = platform::CreateMessageWindow(title, proc);
            made.set_value({h, platform::CurrentThreadId()});
            platform::Msg m;
            while (platform::GetMessage(&m)) platform::DispatchMessage(m);
            platform::DestroyWindow(h);
        });
        auto [h, id] = ready.get();
        m_hwnd = h;
        m_threadId = id;
    }
    ~WindowThread() { Stop(); }

    platform::Hwnd Hwnd() const { return m_hwnd; }
    void Stop() {
        if (m_thread.joinable()) {
            platform::PostThreadMessage(m_threadId, platform::WM_QUIT, 0, 0);
            m_thread.join();
        }
    }

private:
    std::thread m_thread;
    platform::Hwnd m_hwnd = 0;
    uint32_t m_threadId = 0;
};

}  // namespace corvanta::test
