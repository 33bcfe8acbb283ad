#pragma once
// A window of our window system for a Qt widget that must receive
// registered window messages (a view told what to show, an owner told that
// a file ended). The window lives on the thread that creates it, which for
// a widget is the GUI thread; platform::QtQueueDriver runs that thread's
// queue, so messages sent from other threads arrive through Qt's loop.

#include <functional>
#include <string_view>

#include "platform/WindowTypes.h"

namespace corvanta::ui {

class CMessageWindowHandle {
public:
    // Return true when the message was handled (its result in `result`);
    // everything else goes to the default procedure.
    using Handler = std::function<bool(uint32_t msg, platform::WParam w, platform::LParam l, platform::LResult& result)>;

    CMessageWindowHandle() = default;
    ~CMessageWindowHandle();
    CMessageWindowHandle(const CMessageWindowHandle&) = delete;
    CMessageWindowHandle& operator=(const CMessageWindowHandle&) = delete;

    // 0 when the window cannot be made (or one is made already).
    platform::Hwnd Create(std::string_view title, Handler handler);
    // On the creating thread; nothing reaches the handler afterwards.
    void Destroy();
    platform::Hwnd Handle() const { return m_hwnd; }

private:
    platform::Hwnd m_hwnd = 0;
    Handler m_handler;
};

}  // namespace corvanta::ui
