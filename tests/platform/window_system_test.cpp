#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/Tick.h"
#include "platform/WindowSystem.h"
#include "support/WindowThread.h"

using namespace corvanta::platform;
using corvanta::test::WindowThread;

namespace {

uint32_t Msg1() { return RegisterWindowMessage("test msg one"); }

// Runs the calling thread's loop until `done` or the time-out; true when done.
bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs = 5000) {
    uint64_t end = MonotonicMs() + timeoutMs;
    Msg m;
    while (!done()) {
        if (MonotonicMs() > end) return false;
        while (PeekMessage(&m, true)) DispatchMessage(m);
        SleepMs(1);
    }
    return true;
}

}  // namespace

TEST(RegisteredMessages, SameNameSameNumberDifferentNamesDiffer) {
    uint32_t a = RegisterWindowMessage("FILTER_START test");
    uint32_t b = RegisterWindowMessage("FILTER_START test");
    uint32_t c = RegisterWindowMessage("FILTER_STOP test");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_GE(c, 0xC000u);
}

TEST(RegisteredMessages, EmptyAndOverlongNamesAreRefused) {
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
    EXPECT_EQ(RegisterWindowMessage(std::string(256, 'x')), 0u);
    EXPECT_NE(RegisterWindowMessage(std::string(255, 'x')), 0u);
}

TEST(Windows, HandleTitleAndDestroy) {
    Hwnd h = CreateMessageWindow("Some Queue 17", [](Hwnd w, uint32_t m, WParam a, LParam b) {
        return DefWindowProc(w, m, a, b);
    });
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(GetWindowText(h), "Some Queue 17");
    EXPECT_EQ(FindWindowByTitle("Some Queue 17"), h);
    EXPECT_TRUE(DestroyWindow(h));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(GetWindowText(h), "");
    EXPECT_FALSE(DestroyWindow(h));
}

TEST(Windows, StaleHandleIsNotMistakenForANewWindow) {
    auto proc = [](Hwnd w, uint32_t m, WParam a, LParam b) { return DefWindowProc(w, m, a, b); };
    Hwnd first = CreateMessageWindow("stale", proc);
    DestroyWindow(first);
    // The freed slot is taken again; the old handle must stay dead.
    std::vector<Hwnd> made;
    for (int i = 0; i < 8; ++i) made.push_back(CreateMessageWindow("stale", proc));
    for (Hwnd h : made) EXPECT_NE(h, first);
    EXPECT_FALSE(IsWindow(first));
    for (Hwnd h : made) DestroyWindow(h);
}

TEST(Windows, BadInputFailsCleanly) {
    EXPECT_FALSE(IsWindow(0));
    EXPECT_FALSE(IsWindow(0xFFFFFFFFu));
    EXPECT_FALSE(IsWindow(0x12345678u));
    EXPECT_EQ(SendMessage(0x12345678u, Msg1(), 1, 2), 0);
    EXPECT_FALSE(PostMessage(0x12345678u, Msg1(), 1, 2));
    EXPECT_EQ(CreateMessageWindow(std::string(512, 'q'), {}), 0u);
    EXPECT_NE(CreateMessageWindow(std::string(511, 'q'), [](Hwnd, uint32_t, WParam, LParam) { return 0; }), 0u);
}

TEST(Windows, CloseDestroysThroughTheDefaultHandlerWithNotifications) {
    std::vector<uint32_t> seen;
    Hwnd h = CreateMessageWindow("closing", [&](Hwnd w, uint32_t m, WParam a, LParam b) {
        seen.push_back(m);
        return DefWindowProc(w, m, a, b);
    });
    SendMessage(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(seen, (std::vector<uint32_t>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST(Windows, WindowEndsWithItsThread) {
    Hwnd h = 0;
    std::thread t([&] { h = CreateMessageWindow("short lived", [](Hwnd, uint32_t, WParam, LParam) { return 0; }); });
    t.join();
    ASSERT_NE(h, 0u);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(SendMessage(h, Msg1(), 0, 0), 0);
}

TEST(Messaging, SendRunsOnTheOwnerThreadAndReturnsItsResult) {
    std::thread::id handledOn;
    WindowThread wt([&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        if (m != Msg1()) return 0;
        handledOn = std::this_thread::get_id();
        return LResult(w) + l;
    });
    EXPECT_EQ(SendMessage(wt.Hwnd(), Msg1(), 40, 2), 42);
    EXPECT_NE(handledOn, std::this_thread::get_id());
    EXPECT_NE(handledOn, std::thread::id());
}

TEST(Messaging, SendToOwnWindowCallsDirectly) {
    int calls = 0;
    Hwnd h = CreateMessageWindow("direct", [&](Hwnd, uint32_t, WParam w, LParam) -> LResult {
        ++calls;
        return LResult(w);
    });
    EXPECT_EQ(SendMessage(h, Msg1(), 5, 0), 5);
    EXPECT_EQ(calls, 1);
    DestroyWindow(h);
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
    uint32_t ping = RegisterWindowMessage("test ping");
    uint32_t pong = RegisterWindowMessage("test pong");
    Hwnd mine = CreateMessageWindow("caller", [&](Hwnd, uint32_t m, WParam, LParam l) -> LResult {
        return m == pong ? l * 10 : 0;
    });
    WindowThread other([&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        if (m != ping) return 0;
        return SendMessage(Hwnd(w), pong, 0, l) + 1;
    });
    EXPECT_EQ(SendMessage(other.Hwnd(), ping, mine, 7), 71);
    DestroyWindow(mine);
}

TEST(Messaging, TwoThreadsSendingToEachOtherAtOnceBothComplete) {
    uint32_t call = RegisterWindowMessage("test cross call");
    uint32_t answer = RegisterWindowMessage("test cross answer");
    std::atomic<Hwnd> peerOf[2] = {0, 0};
    auto proc = [&](int self) {
        return [&, self](Hwnd, uint32_t m, WParam, LParam l) -> LResult {
            if (m == answer) return l + 1;
            if (m == call) return SendMessage(peerOf[self].load(), answer, 0, l);
            return 0;
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
        release.get_future().wait();  // never pumps
    });
    Hwnd h = made.get_future().get();
    LResult result = 99;
    uint64_t start = MonotonicMs();
    EXPECT_FALSE(SendMessageTimeout(h, Msg1(), 0, 0, SMTO_BLOCK, 150, &result));
    EXPECT_EQ(result, 0);
    EXPECT_GE(MonotonicMs() - start, 150u);
    release.set_value();
    silent.join();
}

TEST(Messaging, SendWithTimeoutSucceedsWhenAnsweredInTime) {
    WindowThread wt([](Hwnd, uint32_t, WParam w, LParam) -> LResult { return LResult(w) + 1; });
    LResult result = 0;
    EXPECT_TRUE(SendMessageTimeout(wt.Hwnd(), Msg1(), 9, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &result));
    EXPECT_EQ(result, 10);
}

TEST(Messaging, AbortIfHungGivesUpAtOnceOnAHungThread) {
    std::promise<Hwnd> made;
    std::promise<void> release;
    std::thread hung([&] {
        made.set_value(CreateMessageWindow("hung", [](Hwnd, uint32_t, WParam, LParam) { return 5; }));
        release.get_future().wait();
    });
    Hwnd h = made.get_future().get();
    SleepMs(kHungAfterMs + 300);
    LResult result = 1;
    uint64_t start = MonotonicMs();
    EXPECT_FALSE(SendMessageTimeout(h, Msg1(), 0, 0, SMTO_ABORTIFHUNG, 20000, &result));
    EXPECT_LT(MonotonicMs() - start, 10000u);
    EXPECT_EQ(result, 0);
    release.set_value();
    hung.join();
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

TEST(Messaging, QuitThreadMessageEndsTheLoop) {
    std::promise<uint32_t> id;
    std::atomic<bool> ended{false};
    std::thread t([&] {
        id.set_value(CurrentThreadId());
        Msg m;
        while (GetMessage(&m)) {
            if (m.hwnd == 0 && m.message == WM_USER + 2) break;
        }
        ended = true;
    });
    uint32_t tid = id.get_future().get();
    EXPECT_TRUE(PostThreadMessage(tid, WM_USER + 2, 0, 0));
    t.join();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(PostThreadMessage(tid, WM_USER + 2, 0, 0));
}

TEST(Timers, ZeroPeriodFiresAtOnceOnTheOwnerThreadWithItsNumber) {
    std::vector<WParam> fired;
    Hwnd h = CreateMessageWindow("timer owner", [&](Hwnd, uint32_t m, WParam w, LParam) -> LResult {
        if (m == WM_TIMER) fired.push_back(w);
        return 0;
    });
    ASSERT_TRUE(SetTimer(h, 16111, 0));
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, true));
    EXPECT_EQ(m.message, WM_TIMER);
    DispatchMessage(m);
    EXPECT_EQ(fired, std::vector<WParam>{16111});
    DestroyWindow(h);
}

TEST(Timers, ResettingChangesThePeriodAndKillStops) {
    int fired = 0;
    Hwnd h = CreateMessageWindow("timer period", [&](Hwnd, uint32_t m, WParam, LParam) -> LResult {
        if (m == WM_TIMER) ++fired;
        return 0;
    });
    ASSERT_TRUE(SetTimer(h, 7, 10000));
    ASSERT_TRUE(SetTimer(h, 7, 20));
    EXPECT_TRUE(PumpUntil([&] { return fired >= 3; }));
    ASSERT_TRUE(KillTimer(h, 7));
    int at = fired;
    Msg m;
    SleepMs(60);
    while (PeekMessage(&m, true)) DispatchMessage(m);
    EXPECT_EQ(fired, at);
    EXPECT_FALSE(KillTimer(h, 7));
    DestroyWindow(h);
}

TEST(Timers, OnlyTheOwnerThreadSetsTimersAndTheyEndWithTheWindow) {
    Hwnd h = CreateMessageWindow("timer foreign", [](Hwnd, uint32_t, WParam, LParam) { return 0; });
    bool fromOther = true;
    std::thread([&] { fromOther = SetTimer(h, 1, 10); }).join();
    EXPECT_FALSE(fromOther);
    ASSERT_TRUE(SetTimer(h, 2, 0));
    DestroyWindow(h);
    Msg m;
    EXPECT_FALSE(PeekMessage(&m, true));
}
