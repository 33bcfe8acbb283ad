#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/OneShotTimer.h"
#include "platform/Tick.h"
#include "platform/WindowSystem.h"
#include "platform/WindowTable.h"
#include "platform/WireMessage.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"
#include "support/WindowThread.h"

using namespace corvanta::platform;
using corvanta::test::PeerProcess;
using corvanta::test::WaitFor;
using corvanta::test::WindowThread;

namespace {

uint32_t Msg1() { return RegisterWindowMessage("test msg one"); }

LResult Default(Hwnd w, uint32_t m, WParam a, LParam b) { return DefWindowProc(w, m, a, b); }

// A peer process that announces its window's handle and its thread's id.
struct WindowPeer {
    explicit WindowPeer(const char* what)
        : title(std::string(what) + " " + std::to_string(getpid())), process(PLATFORM_PEER, {"window", title}) {
        const std::string line = process.ReadLine();
        if (line.rfind("ready ", 0) != 0) return;
        hwnd = Hwnd(std::stoul(line.substr(6)));
        thread = uint32_t(std::stoul(line.substr(line.rfind(' '))));
    }
    std::string title;
    PeerProcess process;
    Hwnd hwnd = 0;
    uint32_t thread = 0;
};

}  // namespace

TEST(Windows, RegisteredMessagesHandlesTitlesAndStaleOrBadHandles) {
    const uint32_t a = RegisterWindowMessage("FILTER_START test");
    EXPECT_EQ(std::tuple(true, a, true), std::tuple(a >= 0xC000u, RegisterWindowMessage("FILTER_START test"),
                                                   RegisterWindowMessage("FILTER_STOP test") != a));
    EXPECT_EQ(std::tuple(0u, 0u), std::tuple(RegisterWindowMessage(""), RegisterWindowMessage(std::string(256, 'x'))));

    Hwnd h = CreateMessageWindow("Some Queue 17", Default);
    ASSERT_TRUE(IsWindow(h));
    EXPECT_EQ(std::tuple(GetWindowText(h), FindWindowByTitle("Some Queue 17")), std::tuple("Some Queue 17", h));
    EXPECT_TRUE(DestroyWindow(h));
    EXPECT_FALSE(IsWindow(h) || DestroyWindow(h));
    // The freed slot is taken again; the old handle must stay dead.
    std::vector<Hwnd> made;
    for (int i = 0; i < 8; ++i) made.push_back(CreateMessageWindow("stale", Default));
    EXPECT_FALSE(IsWindow(h));
    for (Hwnd m : made) DestroyWindow(m);

    for (Hwnd bad : {0u, 0xFFFFFFFFu, 0x12345678u}) EXPECT_FALSE(IsWindow(bad)) << bad;
    EXPECT_EQ(CreateMessageWindow(std::string(512, 'q'), Default), 0u);
}

TEST(Windows, CloseDestroysWithNotifications) {
    std::vector<uint32_t> seen;
    Hwnd h = CreateMessageWindow("closing", [&](Hwnd w, uint32_t m, WParam a, LParam b) {
        seen.push_back(m);
        return DefWindowProc(w, m, a, b);
    });
    SendMessage(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(seen, (std::vector<uint32_t>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST(Messaging, SendRunsOnTheOwnerThreadAndPostsKeepTheirOrder) {
    std::thread::id handledOn;
    std::vector<WParam> posted;
    std::promise<void> allPosted;
    WindowThread wt([&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        if (m != Msg1()) return 0;
        handledOn = std::this_thread::get_id();
        if (l == 0 && posted.size() < 50) posted.push_back(w);
        if (l == 0 && posted.size() == 50 && w == 49) allPosted.set_value();
        return LResult(w) + l;
    });
    for (WParam i = 0; i < 50; ++i) ASSERT_TRUE(PostMessage(wt.Hwnd(), Msg1(), i, 0));
    ASSERT_EQ(allPosted.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(SendMessage(wt.Hwnd(), Msg1(), 40, 2), 42);
    EXPECT_NE(handledOn, std::this_thread::get_id());
    for (WParam i = 0; i < 50; ++i) EXPECT_EQ(posted[i], i);
}

TEST(Messaging, TwoThreadsSendingToEachOtherAtOnceBothComplete) {
    const uint32_t call = RegisterWindowMessage("test cross call"), answer = RegisterWindowMessage("test cross answer");
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
    EXPECT_EQ(std::tuple(ra.get(), rb.get()), std::tuple(101, 201));
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
    start = MonotonicMs();
    EXPECT_FALSE(SendMessageTimeout(h, Msg1(), 0, 0, SMTO_ABORTIFHUNG, 20000, &result));
    EXPECT_LT(MonotonicMs() - start, 10000u);
    release.set_value();
    silent.join();
}

TEST(Timers, FireWithTheirNumberFollowTheLastPeriodAndEndWithTheirWindow) {
    std::vector<WParam> fired;
    Hwnd h = CreateMessageWindow("timer owner", [&](Hwnd, uint32_t m, WParam w, LParam) -> LResult {
        if (m == WM_TIMER) fired.push_back(w);
        return 0;
    });
    ASSERT_TRUE(SetTimer(h, 7, 10000));
    ASSERT_TRUE(SetTimer(h, 7, 20));
    ASSERT_TRUE(WaitFor([&] {
        PumpMessages();
        return fired.size() >= 4;
    }, 5000));
    EXPECT_EQ(fired[0], 7u);
    ASSERT_TRUE(KillTimer(h, 7));
    const size_t at = fired.size();
    SleepMs(60);
    PumpMessages();
    EXPECT_EQ(fired.size(), at);

    ASSERT_TRUE(SetTimer(h, 2, 0));
    DestroyWindow(h);
    Msg m;
    EXPECT_FALSE(PeekMessage(&m, true)) << "a due timer ends with its window";
}

TEST(OneShotTimer, WritesOnceByItsDeadlineAndARestartOrDestructionReplacesIt) {
    std::atomic<uint32_t> word{1}, first{1}, second{1};
    {
        OneShotTimer timer;
        const uint32_t start = TickCount();
        timer.Start(30, word, 0);
        EXPECT_TRUE(WaitFor([&] { return word.load() == 0; }, 5000));
        EXPECT_GE(TickCount() - start, 29u);  // within the millisecond before, never sooner
        timer.Start(20, first, 0);
        timer.Cancel();
        timer.Start(10000, first, 0);
        timer.Start(5, second, 7);  // an earlier deadline replaces a later one
        EXPECT_TRUE(WaitFor([&] { return second.load() == 7; }, 5000));
        timer.Start(10000, first, 0);
    }
    SleepMs(40);
    EXPECT_EQ(1u, first.load());
}

TEST(CrossProcess, WindowOfAnotherProcessIsFoundSentToAndSendsBackUntilTheProcessIsKilled) {
    WindowPeer peer("peer window");
    const Hwnd h = peer.hwnd;
    ASSERT_TRUE(IsWindow(h));
    EXPECT_EQ(std::tuple(FindWindowByTitle(peer.title), GetWindowText(h)), std::tuple(h, peer.title));
    // The peer doubles wParam only for the number it registered itself under the same name.
    const uint32_t doubled = RegisterWindowMessage("peer double");
    EXPECT_EQ(std::tuple(42, 0), std::tuple(SendMessage(h, doubled, 21, 0), SendMessage(h, doubled + 1000, 21, 0)));

    // The peer's handler sends back to a window of ours while we wait.
    const uint32_t echo = RegisterWindowMessage("peer echo");
    Hwnd mine = CreateMessageWindow("callback target", [&](Hwnd, uint32_t m, WParam, LParam l) -> LResult {
        return m == echo ? l * 3 : 0;
    });
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage("peer call back"), mine, 5), 16);
    DestroyWindow(mine);

    peer.process.Kill();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(SendMessage(h, doubled, 1, 0), 0);
    EXPECT_FALSE(PostMessage(h, doubled, 1, 0));
}

// Datagrams at a peer's queue that are cut off, unmarked, of no known type or
// a reply nobody waits for are dropped; only the well-formed quit ends it.
TEST(CrossProcess, MalformedDatagramsAreDroppedAndThePeerGoesOn) {
    WindowPeer peer("peer target");
    ASSERT_NE(peer.thread, 0u);
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    const int n = std::snprintf(to.sun_path + 1, sizeof to.sun_path - 1, "corvanta.%u.%d.%u", unsigned(getuid()),
                                int(peer.process.Pid()), peer.thread);
    const auto toLength = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(n));
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    const WireMessage quit{kWireMagic, kWirePost, peer.hwnd, RegisterWindowMessage("peer quit"), 0, 0, 0, 0, 0, 0};
    WireMessage unmarked = quit, unknown = quit, reply = quit;
    unmarked.magic = 0;
    unknown.type = 99;
    reply.type = kWireReply;
    reply.seq = 12345;
    const std::pair<WireMessage, size_t> bad[] = {
        {unmarked, sizeof quit}, {unknown, sizeof quit}, {reply, sizeof quit}, {quit, sizeof quit - 1}, {quit, 20}};
    for (const auto& [w, size] : bad)
        EXPECT_EQ(sendto(fd, &w, size, 0, reinterpret_cast<const sockaddr*>(&to), toLength), ssize_t(size));
    EXPECT_EQ(SendMessage(peer.hwnd, RegisterWindowMessage("peer double"), 21, 0), 42);
    SleepMs(100);  // time for a wrongly taken quit to end it
    EXPECT_TRUE(IsWindow(peer.hwnd));
    EXPECT_EQ(sendto(fd, &quit, sizeof quit, 0, reinterpret_cast<const sockaddr*>(&to), toLength), ssize_t(sizeof quit));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(peer.hwnd); }, 5000));
    close(fd);
}

// Once a process has ended its id may be given to a new process; a window
// whose process id now names a process started at another time is gone.
TEST(CrossProcess, AWindowWhoseProcessIdNowNamesAnotherProcessIsGone) {
    WindowPeer peer("peer reused");
    ASSERT_NE(peer.hwnd, 0u);
    ASSERT_TRUE(IsWindow(peer.hwnd));
    const auto owner = WindowTable::Instance().Owner(peer.hwnd);
    ASSERT_TRUE(owner);
    QueueSlot& slot = WindowTable::Instance().Queue(owner->queue);
    const uint32_t recorded = slot.startTime[0];
    slot.startTime[0] = recorded + 1;
    EXPECT_FALSE(IsWindow(peer.hwnd));
    EXPECT_EQ(FindWindowByTitle(peer.title), 0u);
    slot.startTime[0] = recorded;
    EXPECT_TRUE(IsWindow(peer.hwnd));
    EXPECT_EQ(FindWindowByTitle(peer.title), peer.hwnd);
}
