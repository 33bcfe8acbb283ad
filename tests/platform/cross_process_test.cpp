// The window system between two processes; the peer is platform_peer.

#include <gtest/gtest.h>

#include <string>

#include "platform/WindowSystem.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"

using namespace corvanta::platform;
using corvanta::test::PeerProcess;

namespace {

// The handle of the window a peer announces, or 0.
Hwnd StartWindowPeer(PeerProcess& peer) {
    std::string line = peer.ReadLine();
    return line.rfind("ready ", 0) == 0 ? Hwnd(std::stoul(line.substr(6))) : 0;
}

std::string UniqueTitle(const char* what) { return std::string(what) + " " + std::to_string(getpid()); }

}  // namespace

TEST(CrossProcess, WindowOfAnotherProcessIsFoundSentToPostedToAndSendsBack) {
    std::string title = UniqueTitle("peer window");
    PeerProcess peer(PLATFORM_PEER, {"window", title});
    Hwnd h = StartWindowPeer(peer);
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(FindWindowByTitle(title), h);
    EXPECT_EQ(GetWindowText(h), title);
    // The peer doubles wParam only for the number it registered itself under the same name.
    uint32_t doubled = RegisterWindowMessage("peer double");
    EXPECT_EQ(SendMessage(h, doubled, 21, 0), 42);
    EXPECT_EQ(SendMessage(h, doubled + 1000, 21, 0), 0);
    LResult r = 0;
    EXPECT_TRUE(SendMessageTimeout(h, doubled, 5, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &r));
    EXPECT_EQ(r, 10);

    // The peer's handler sends (or posts) back to a window of ours while we wait.
    uint32_t echo = RegisterWindowMessage("peer echo");
    LParam posted = 0;
    Hwnd mine = CreateMessageWindow("callback target", [&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        if (m == echo && w == 7) posted = l;
        return m == echo ? l * 3 : 0;
    });
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage("peer call back"), mine, 5), 16);
    ASSERT_TRUE(PostMessage(h, RegisterWindowMessage("peer post back"), mine, 1234));
    EXPECT_TRUE(corvanta::test::WaitFor([&] {
        PumpMessages();
        return posted == 1234;
    }, 5000));
    DestroyWindow(mine);

    EXPECT_EQ(SendMessage(h, RegisterWindowMessage("peer quit"), 0, 0), 1);
    EXPECT_EQ(peer.Wait(), 0);
    EXPECT_FALSE(IsWindow(h));
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
