#pragma once
// Basic types of the window system: handles, message words, and the
// message numbers the rest of the system relies on.

#include <cstdint>
#include <functional>

namespace corvanta::platform {

// A window handle: non-zero, 32 bits, valid in every process of the user.
// The high 15 bits carry a generation so a handle of a destroyed window is
// never taken for the window that reuses its slot.
using Hwnd = uint32_t;
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

// A message-only window's procedure; runs on the window's owner thread.
using WindowProc = std::function<LResult(Hwnd, uint32_t msg, WParam, LParam)>;

struct Msg {
    Hwnd hwnd = 0;  // 0 for a thread message
    uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_COPYDATA = 0x004A;
inline constexpr uint32_t WM_NCDESTROY = 0x0082;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t kFirstRegisteredMessage = 0xC000;

// Options of SendMessageTimeout.
inline constexpr uint32_t SMTO_NORMAL = 0x0;
inline constexpr uint32_t SMTO_BLOCK = 0x1;          // handle no incoming sends while waiting
inline constexpr uint32_t SMTO_ABORTIFHUNG = 0x2;    // give up at once on a hung window

// A thread that has not come back to its message loop for this long while
// it has work is hung.
inline constexpr uint32_t kHungAfterMs = 5000;


inline constexpr uint32_t kMaxTitleLength = 511;
inline constexpr uint32_t kMaxMessageNameLength = 255;

}  // namespace corvanta::platform
