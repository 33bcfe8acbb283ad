#include "platform/LocalWindows.h"

namespace corvanta::platform {

LocalWindows& LocalWindows::Instance() {
    // Never destroyed: threads may still end after static destruction began.
    static auto* instance = new LocalWindows;
    return *instance;
}

void LocalWindows::Add(Hwnd h, LocalWindow w) {
    std::lock_guard lock(m_mutex);
    m_windows[h] = std::move(w);
}

void LocalWindows::Remove(Hwnd h) {
    std::lock_guard lock(m_mutex);
    m_windows.erase(h);
}

bool LocalWindows::Find(Hwnd h, LocalWindow* out) {
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(h);
    if (it == m_windows.end()) return false;
    *out = it->second;
    return true;
}

std::vector<Hwnd> LocalWindows::OwnedBy(uint32_t serial) {
    std::lock_guard lock(m_mutex);
    std::vector<Hwnd> result;
    for (const auto& [h, w] : m_windows)
        if (w.ownerSerial == serial) result.push_back(h);
    return result;
}

}  // namespace corvanta::platform
