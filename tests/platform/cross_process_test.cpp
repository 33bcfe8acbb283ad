// The window system between two processes: the peer is platform_peer.

#include <gtest/gtest.h>

#include <string>

#include "platform/Tick.h"
#include "platform/WindowSystem.h"
#include "support/PeerProcess.h"

using namespace corvanta::platform;
using corvanta::test::PeerProcess;

namespace {

std::string UniqueTitle(const char* what) { return std::string(what) + " " + std::to_string(getpid()); }

Hwnd StartWindowPeer(PeerProcess& peer) {
    std::string line = peer.ReadLine();
    if (line.rfind("ready ", 0) != 0) return 0;
    return Hwnd(std::stoul(line.substr(6)));
}

}  // namespace

TEST(CrossProcess, WindowOfAnotherProcessIsFoundCheckedAndAnswersSends) {
    std::string title = UniqueTitle("peer window");
    PeerProcess peer(PLATFORM_PEER, {"window", title});
    Hwnd h = StartWindowPeer(peer);
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(FindWindowByTitle(title), h);
    EXPECT_EQ(GetWindowText(h), title);
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage("peer double"), 21, 0), 42);
    LResult r = 0;
    EXPECT_TRUE(SendMessageTimeout(h, RegisterWindowMessage("peer double"), 5, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                   5000, &r));
    EXPECT_EQ(r, 10);
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage("peer quit"), 0, 0), 1);
    EXPECT_EQ(peer.Wait(), 0);
    EXPECT_FALSE(IsWindow(h));
}

TEST(CrossProcess, SendBackWhileWaitingAcrossProcesses) {
    PeerProcess peer(PLATFORM_PEER, {"window", UniqueTitle("peer callback")});
    Hwnd h = StartWindowPeer(peer);
    ASSERT_NE(h, 0u);
    uint32_t echo = RegisterWindowMessage("peer echo");
    Hwnd mine = CreateMessageWindow("callback target", [&](Hwnd, uint32_t m, WParam, LParam l) -> LResult {
        return m == echo ? l * 3 : 0;
    });
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage("peer call back"), mine, 5), 16);
    DestroyWindow(mine);
}

TEST(CrossProcess, PostsArriveFromAnotherProcess) {
    PeerProcess peer(PLATFORM_PEER, {"window", UniqueTitle("peer poster")});
    Hwnd h = StartWindowPeer(peer);
    ASSERT_NE(h, 0u);
    uint32_t echo = RegisterWindowMessage("peer echo");
    LParam got = 0;
    Hwnd mine = CreateMessageWindow("post target", [&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        if (m == echo && w == 7) got = l;
        return 0;
    });
    ASSERT_TRUE(PostMessage(h, RegisterWindowMessage("peer post back"), mine, 1234));
    uint64_t end = MonotonicMs() + 5000;
    Msg m;
    while (got == 0 && MonotonicMs() < end) {
        while (PeekMessage(&m, true)) DispatchMessage(m);
        SleepMs(1);
    }
    EXPECT_EQ(got, 1234);
    DestroyWindow(mine);
}

TEST(CrossProcess, WindowOfAKilledProcessIsGoneAndSendsFail) {
    PeerProcess peer(PLATFORM_PEER, {"window", UniqueTitle("peer victim")});
    Hwnd h = StartWindowPeer(peer);
    ASSERT_NE(h, 0u);
    peer.Kill();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage("peer double"), 1, 0), 0);
    EXPECT_FALSE(PostMessage(h, RegisterWindowMessage("peer double"), 1, 0));
}

TEST(CrossProcess, RegisteredNumbersAgreeBetweenProcesses) {
    // The peer answers with the number it registered for "peer double"
    // only if ours is the same: it doubles wParam only for that number.
    PeerProcess peer(PLATFORM_PEER, {"window", UniqueTitle("peer numbers")});
    Hwnd h = StartWindowPeer(peer);
    ASSERT_NE(h, 0u);
    uint32_t ours = RegisterWindowMessage("peer double");
    EXPECT_EQ(SendMessage(h, ours, 50, 0), 100);
    EXPECT_EQ(SendMessage(h, ours + 1000, 50, 0), 0);
}
