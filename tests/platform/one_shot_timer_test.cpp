#include <gtest/gtest.h>

#include <atomic>

#include "platform/OneShotTimer.h"
#include "platform/Tick.h"
#include "support/WaitFor.h"

namespace corvanta::platform {
namespace {

TEST(OneShotTimer, WritesOnceByItsDeadlineAndARestartOrDestructionReplacesIt) {
    std::atomic<uint32_t> word{1}, first{1}, second{1};
    {
        OneShotTimer timer;
        const uint32_t start = TickCount();
        timer.Start(30, word, 0);
        EXPECT_TRUE(test::WaitFor([&] { return word.load() == 0; }, 5000));
        EXPECT_GE(TickCount() - start, 29u);  // within the millisecond before, never sooner
        timer.Start(20, first, 0);
        timer.Cancel();
        timer.Start(10000, first, 0);
        timer.Start(5, second, 7);  // an earlier deadline replaces a later one
        EXPECT_TRUE(test::WaitFor([&] { return second.load() == 7; }, 5000));
        timer.Start(10000, first, 0);
    }
    SleepMs(40);
    EXPECT_EQ(1u, first.load());
}

}  // namespace
}  // namespace corvanta::platform
