// Message-only windows, registered messages, send/post, time-outs and timers
// between threads of one process.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/Tick.h"
#include "platform/WindowSystem.h"
#include "support/WaitFor.h"
#include "support/WindowThread.h"

using namespace corvanta::platform;
using corvanta::test::WaitFor;
using corvanta::test::WindowThread;

namespace {

uint32_t Msg1() { return RegisterWindowMessage("test msg one"); }

LResult Default(Hwnd w, uint32_t m, WParam a, LParam b) { return DefWindowProc(w, m, a, b); }

}  // namespace

TEST(RegisteredMessages, SameNameSameNumberWithinLimits) {
    uint32_t a = RegisterWindowMessage("FILTER_START test");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterWindowMessage("FILTER_START test"), a);
    EXPECT_NE(RegisterWindowMessage("FILTER_STOP test"), a);
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
    EXPECT_EQ(RegisterWindowMessage(std::string(256, 'x')), 0u);
    EXPECT_NE(RegisterWindowMessage(std::string(255, 'x')), 0u);
}

TEST(Windows, HandleTitleDestroyAndStaleOrBadHandles) {
    Hwnd h = CreateMessageWindow("Some Queue 17", Default);
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(GetWindowText(h), "Some Queue 17");
    EXPECT_EQ(FindWindowByTitle("Some Queue 17"), h);
    EXPECT_TRUE(DestroyWindow(h));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(GetWindowText(h), "");
    EXPECT_FALSE(DestroyWindow(h));
    // The freed slot is taken again; the old handle must stay dead.
    std::vector<Hwnd> made;
    for (int i = 0; i < 8; ++i) made.push_back(CreateMessageWindow("stale", Default));
    for (Hwnd m : made) EXPECT_NE(m, h);
    EXPECT_FALSE(IsWindow(h));
    for (Hwnd m : made) DestroyWindow(m);

    for (Hwnd bad : {0u, 0xFFFFFFFFu, 0x12345678u}) EXPECT_FALSE(IsWindow(bad)) << bad;
    EXPECT_EQ(SendMessage(0x12345678u, Msg1(), 1, 2), 0);
    EXPECT_FALSE(PostMessage(0x12345678u, Msg1(), 1, 2));
    EXPECT_EQ(CreateMessageWindow(std::string(512, 'q'), Default), 0u);
    Hwnd longest = CreateMessageWindow(std::string(511, 'q'), Default);
    EXPECT_NE(longest, 0u);
    DestroyWindow(longest);
}

TEST(Windows, CloseDestroysWithNotificationsAndWindowsEndWithTheirThread) {
    std::vector<uint32_t> seen;
    Hwnd h = CreateMessageWindow("closing", [&](Hwnd w, uint32_t m, WParam a, LParam b) {
        seen.push_back(m);
        return DefWindowProc(w, m, a, b);
    });
    SendMessage(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(seen, (std::vector<uint32_t>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));

    uint32_t tid = 0;
    std::thread([&] {
        h = CreateMessageWindow("short lived", Default);
        tid = CurrentThreadId();
    }).join();
    ASSERT_NE(h, 0u);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(SendMessage(h, Msg1(), 0, 0), 0);
    EXPECT_FALSE(PostThreadMessage(tid, WM_USER + 2, 0, 0));
}

TEST(Messaging, SendRunsOnTheOwnerThreadOrDirectlyOnItsOwn) {
    std::thread::id handledOn;
    WindowThread wt([&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        if (m != Msg1()) return 0;
        handledOn = std::this_thread::get_id();
        return LResult(w) + l;
    });
    EXPECT_EQ(SendMessage(wt.Hwnd(), Msg1(), 40, 2), 42);
    EXPECT_NE(handledOn, std::this_thread::get_id());
    EXPECT_NE(handledOn, std::thread::id());
    LResult result = 0;
    EXPECT_TRUE(SendMessageTimeout(wt.Hwnd(), Msg1(), 9, 1, SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &result));
    EXPECT_EQ(result, 10);

    Hwnd own = CreateMessageWindow("direct", [&](Hwnd, uint32_t, WParam w, LParam) -> LResult {
        handledOn = std::this_thread::get_id();
        return LResult(w);
    });
    EXPECT_EQ(SendMessage(own, Msg1(), 5, 0), 5);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    DestroyWindow(own);
}

TEST(Messaging, PostedMessagesArriveInOrder) {
    std::vector<WParam> got;
    std::promise<void> all;
    WindowThread wt([&](Hwnd, uint32_t m, WParam w, LParam) -> LResult {
        if (m != Msg1()) return 0;
        got.push_back(w);
        if (got.size() == 100) all.set_value();
        return 0;
    });
    for (WParam i = 0; i < 100; ++i) ASSERT_TRUE(PostMessage(wt.Hwnd(), Msg1(), i, 0));
    ASSERT_EQ(all.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    for (WParam i = 0; i < 100; ++i) EXPECT_EQ(got[i], i);
}

TEST(Messaging, SendBackWhileWaitingDoesNotDeadlock) {
    uint32_t ping = RegisterWindowMessage("test ping"), pong = RegisterWindowMessage("test pong");
    Hwnd mine = CreateMessageWindow("caller", [&](Hwnd, uint32_t m, WParam, LParam l) -> LResult {
        return m == pong ? l * 10 : 0;
    });
    WindowThread other([&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        return m == ping ? SendMessage(Hwnd(w), pong, 0, l) + 1 : 0;
    });
    EXPECT_EQ(SendMessage(other.Hwnd(), ping, mine, 7), 71);
    DestroyWindow(mine);
}

TEST(Messaging, TwoThreadsSendingToEachOtherAtOnceBothComplete) {
    uint32_t call = RegisterWindowMessage("test cross call"), answer = RegisterWindowMessage("test cross answer");
    std::atomic<Hwnd> peerOf[2] = {0, 0};
    auto proc = [&](int self) {
        return [&, self](Hwnd, uint32_t m, WParam, LParam l) -> LResult {
            if (m == answer) return l + 1;
            return m == call ? SendMessage(peerOf[self].load(), answer, 0, l) : 0;
        };
    };
    WindowThread a(proc(0)), b(proc(1));
    peerOf[0] = b.Hwnd();
    peerOf[1] = a.Hwnd();
    auto ra = std::async(std::launch::async, [&] { return SendMessage(a.Hwnd(), call, 0, 100); });
    auto rb = std::async(std::launch::async, [&] { return SendMessage(b.Hwnd(), call, 0, 200); });
    EXPECT_EQ(ra.get(), 101);
    EXPECT_EQ(rb.get(), 201);
}

TEST(Messaging, SendWithTimeoutGivesUpOnAThreadThatNeverAnswers) {
    std::promise<Hwnd> made;
    std::promise<void> release;
    std::thread silent([&] {
        made.set_value(CreateMessageWindow("silent", [](Hwnd, uint32_t, WParam, LParam) { return 5; }));
        release.get_future().wait();  // never handles its messages
    });
    Hwnd h = made.get_future().get();
    LResult result = 99;
    uint64_t start = MonotonicMs();
    EXPECT_FALSE(SendMessageTimeout(h, Msg1(), 0, 0, SMTO_BLOCK, 150, &result));
    EXPECT_EQ(result, 0);
    EXPECT_GE(MonotonicMs() - start, 150u);
    // Once it counts as hung, abort-if-hung gives up without waiting out a long time-out.
    SleepMs(kHungAfterMs + 300);
    result = 1;
    start = MonotonicMs();
    EXPECT_FALSE(SendMessageTimeout(h, Msg1(), 0, 0, SMTO_ABORTIFHUNG, 20000, &result));
    EXPECT_LT(MonotonicMs() - start, 10000u);
    EXPECT_EQ(result, 0);
    release.set_value();
    silent.join();
}

TEST(Messaging, SendToAWindowDestroyedWhileQueuedReturnsZero) {
    std::promise<Hwnd> made;
    std::promise<void> go;
    std::thread owner([&] {
        Hwnd h = CreateMessageWindow("doomed", [](Hwnd, uint32_t, WParam, LParam) { return 5; });
        made.set_value(h);
        go.get_future().wait();
        DestroyWindow(h);
        Msg m;
        PeekMessage(&m, true);  // the queued send now meets a destroyed window
    });
    Hwnd h = made.get_future().get();
    auto r = std::async(std::launch::async, [&] { return SendMessage(h, Msg1(), 0, 0); });
    SleepMs(50);
    go.set_value();
    EXPECT_EQ(r.get(), 0);
    owner.join();
}

TEST(Timers, FireOnTheOwnerThreadWithTheirNumberAndFollowTheLastPeriod) {
    std::vector<WParam> fired;
    Hwnd h = CreateMessageWindow("timer owner", [&](Hwnd, uint32_t m, WParam w, LParam) -> LResult {
        if (m == WM_TIMER) fired.push_back(w);
        return 0;
    });
    // Period 0 is due at once.
    ASSERT_TRUE(SetTimer(h, 16111, 0));
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, true));
    EXPECT_EQ(m.message, WM_TIMER);
    DispatchMessage(m);
    EXPECT_EQ(fired, std::vector<WParam>{16111});
    ASSERT_TRUE(KillTimer(h, 16111));

    ASSERT_TRUE(SetTimer(h, 7, 10000));
    ASSERT_TRUE(SetTimer(h, 7, 20));
    EXPECT_TRUE(WaitFor([&] {
        PumpMessages();
        return fired.size() >= 4;
    }, 5000));
    ASSERT_TRUE(KillTimer(h, 7));
    size_t at = fired.size();
    SleepMs(60);
    PumpMessages();
    EXPECT_EQ(fired.size(), at);
    EXPECT_FALSE(KillTimer(h, 7));

    bool fromOther = true;
    std::thread([&] { fromOther = SetTimer(h, 1, 10); }).join();
    EXPECT_FALSE(fromOther);
    // A due timer ends with its window.
    ASSERT_TRUE(SetTimer(h, 2, 0));
    DestroyWindow(h);
    EXPECT_FALSE(PeekMessage(&m, true));
}
