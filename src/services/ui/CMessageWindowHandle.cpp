#include "services/ui/CMessageWindowHandle.h"

#include "platform/WindowSystem.h"

namespace corvanta::ui {

using namespace platform;

CMessageWindowHandle::~CMessageWindowHandle() { Destroy(); }

Hwnd CMessageWindowHandle::Create(std::string_view title, Handler handler) {
    if (m_hwnd) return 0;
    m_handler = std::move(handler);
    m_hwnd = CreateMessageWindow(title, [this](Hwnd h, uint32_t msg, WParam w, LParam l) -> LResult {
        LResult result = 0;
        if (m_handler && msg != WM_DESTROY && msg != WM_NCDESTROY && m_handler(msg, w, l, result)) return result;
        // The owner decides when its window goes, not a stray WM_CLOSE.
        if (msg == WM_CLOSE) return 0;
        return DefWindowProc(h, msg, w, l);
    });
    return m_hwnd;
}

void CMessageWindowHandle::Destroy() {
    if (!m_hwnd) return;
    m_handler = nullptr;
    DestroyWindow(m_hwnd);
    m_hwnd = 0;
}

}  // namespace corvanta::ui
