#pragma once
// The windows of this process: their procedures and owner threads. The
// user-wide table knows every window; this map is what lets a thread call
// a procedure without a lookup in shared memory.

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/WindowTypes.h"

namespace corvanta::platform {

class ThreadQueue;

struct LocalWindow {
    std::shared_ptr<WindowProc> proc;
    std::weak_ptr<ThreadQueue> owner;
    uint32_t ownerSerial = 0;
};

class LocalWindows {
public:
    static LocalWindows& Instance();

    void Add(Hwnd h, LocalWindow w);
    void Remove(Hwnd h);
    // False when the window is not one of this process's.
    bool Find(Hwnd h, LocalWindow* out);
    std::vector<Hwnd> OwnedBy(uint32_t serial);

private:
    std::mutex m_mutex;
    std::unordered_map<Hwnd, LocalWindow> m_windows;
};

}  // namespace corvanta::platform
