#pragma once
// The window system: hidden message-only windows with a title and a
// procedure, owned by the thread that made them, reachable by handle from
// every process of the user. Posted and sent messages, sends with a
// time-out, window timers and the per-thread message loop.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/WindowTypes.h"

namespace corvanta::platform {

// 0 when the title is longer than kMaxTitleLength or the table is full.
Hwnd CreateMessageWindow(std::string_view title, WindowProc proc);
// Only the owner thread can destroy a window. The procedure sees
// WM_DESTROY and WM_NCDESTROY; timers of the window end with it.
bool DestroyWindow(Hwnd h);
// False once destroyed, once its thread has ended, and once its process died.
bool IsWindow(Hwnd h);
// Empty when `h` is not a window.
std::string GetWindowText(Hwnd h);
// The first window with exactly this title, or 0.
Hwnd FindWindowByTitle(std::string_view title);
// The same name gives the same number (at least 0xC000) in every process of
// the user; 0 for an empty name or one over kMaxMessageNameLength.
uint32_t RegisterWindowMessage(std::string_view name);

bool PostMessage(Hwnd h, uint32_t msg, WParam w, LParam l);
// Runs the window's procedure on its owner thread and returns its result;
// 0 when `h` is not a window or goes away meanwhile. While waiting, the
// calling thread keeps handling what is sent to its own windows.
LResult SendMessage(Hwnd h, uint32_t msg, WParam w, LParam l);
// As SendMessage, but gives up after `timeoutMs` (returns false). SMTO_BLOCK
// handles no incoming sends meanwhile; SMTO_ABORTIFHUNG fails at once when
// the owner thread is hung.
bool SendMessageTimeout(Hwnd h, uint32_t msg, WParam w, LParam l, uint32_t flags, uint32_t timeoutMs,
                        LResult* result);

// The calling thread's id for PostThreadMessage (its queue's serial).
uint32_t CurrentThreadId();
bool PostThreadMessage(uint32_t threadId, uint32_t msg, WParam w, LParam l);
void PostQuitMessage(int code);

// On the owner thread only. Setting an existing id again changes its period.
bool SetTimer(Hwnd h, uintptr_t id, uint32_t periodMs);
bool KillTimer(Hwnd h, uintptr_t id);

// False when the message is WM_QUIT.
bool GetMessage(Msg* out);
bool PeekMessage(Msg* out, bool remove);
LResult DispatchMessage(const Msg& m);
// WM_CLOSE destroys the window; everything else answers 0.
LResult DefWindowProc(Hwnd h, uint32_t msg, WParam w, LParam l);

// For a thread whose loop is another event loop: this descriptor becomes
// readable when messages or due timers are waiting; PumpMessages then
// handles them all.
int MessageQueueFd();
void PumpMessages();

}  // namespace corvanta::platform
