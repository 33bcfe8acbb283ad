#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

#include "platform/WindowSystem.h"
#include "support/WaitFor.h"
#include "support/WindowThread.h"

using namespace corvanta::platform;
using corvanta::test::WaitFor;
using corvanta::test::WindowThread;

namespace {

uint32_t MixedMsg() { return RegisterWindowMessage("test mixed"); }

// Sends and posts from several threads at once: a wake-up lost between
// them would leave a send waiting out its time-out.
TEST(Messaging, SendsAndPostsMixedFromSeveralThreadsAllArrive) {
    constexpr int kThreads = 3, kRounds = 2000;
    std::atomic<int> posts{0};
    WindowThread target([&](Hwnd, uint32_t m, WParam w, LParam l) -> LResult {
        if (m != MixedMsg()) return 0;
        if (l == 0) ++posts;
        return LResult(w) * 2 + l;
    });
    std::vector<std::future<int>> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.push_back(std::async(std::launch::async, [&, t] {
            int answered = 0;
            for (int i = 0; i < kRounds; ++i) {
                PostMessage(target.Hwnd(), MixedMsg(), WParam(i), 0);
                LResult r = 0;
                if (SendMessageTimeout(target.Hwnd(), MixedMsg(), WParam(i), t + 1, SMTO_NORMAL, 5000, &r) &&
                    r == LResult(i) * 2 + t + 1)
                    ++answered;
            }
            return answered;
        }));
    }
    for (auto& s : senders) EXPECT_EQ(s.get(), kRounds);
    EXPECT_TRUE(WaitFor([&] { return posts.load() == kThreads * kRounds; }, 5000));
}

}  // namespace
