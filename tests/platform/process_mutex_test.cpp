#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/Interlocked.h"
#include "platform/ManualResetEvent.h"
#include "platform/ProcessMutex.h"
#include "support/PeerProcess.h"

using namespace corvanta::platform;
using corvanta::test::PeerProcess;

namespace {
std::string Unique(const std::string& what) { return what + " " + std::to_string(getpid()); }
}  // namespace

TEST(ProcessMutex, RecursiveForItsOwnerAndExclusiveForOthers) {
    ProcessMutex m;
    ASSERT_EQ(m.Lock(), LockStatus::Acquired);
    ASSERT_EQ(m.Lock(0), LockStatus::Acquired);
    auto other = std::async(std::launch::async, [&] { return m.Lock(30); });
    EXPECT_EQ(other.get(), LockStatus::TimedOut);
    EXPECT_TRUE(m.Unlock());
    auto stillHeld = std::async(std::launch::async, [&] { return m.Lock(0); });
    EXPECT_EQ(stillHeld.get(), LockStatus::TimedOut);
    EXPECT_TRUE(m.Unlock());
    EXPECT_FALSE(m.Unlock());
}

TEST(ProcessMutex, ReleaseByANonOwnerHasNoEffect) {
    ProcessMutex m;
    ASSERT_EQ(m.Lock(), LockStatus::Acquired);
    bool released = true;
    std::thread([&] { released = m.Unlock(); }).join();
    EXPECT_FALSE(released);
    auto other = std::async(std::launch::async, [&] { return m.Lock(0); });
    EXPECT_EQ(other.get(), LockStatus::TimedOut);
    m.Unlock();
}

TEST(ProcessMutex, AbandonedByAnEndedThreadIsReportedAndStaysUsable) {
    auto named = ProcessMutex::OpenNamed(Unique("mutex abandon thread"));
    ASSERT_TRUE(named);
    ProcessMutex& m = named.Value();
    std::thread([&] { EXPECT_EQ(m.Lock(), LockStatus::Acquired); }).join();
    EXPECT_EQ(m.Lock(1000), LockStatus::Abandoned);
    EXPECT_TRUE(m.Unlock());
    EXPECT_EQ(m.Lock(1000), LockStatus::Acquired);
    m.Unlock();
}

TEST(ProcessMutex, NamedMutexIsSharedWithAnotherProcessAndAbandonedWhenItDies) {
    std::string name = Unique("mutex peer");
    bool existed = true;
    auto mine = ProcessMutex::OpenNamed(name, &existed);
    ASSERT_TRUE(mine);
    EXPECT_FALSE(existed);
    PeerProcess peer(PLATFORM_PEER, {"mutex", name});
    ASSERT_EQ(peer.ReadLine(), "ready");
    EXPECT_EQ(mine.Value().Lock(50), LockStatus::TimedOut);
    peer.Kill();
    EXPECT_EQ(mine.Value().Lock(1000), LockStatus::Abandoned);
    EXPECT_TRUE(mine.Value().Unlock());
    EXPECT_EQ(mine.Value().Lock(0), LockStatus::Acquired);
    mine.Value().Unlock();
}

TEST(ManualResetEvent, StaysSetUntilResetAndReleasesEveryWaiter) {
    ManualResetEvent e;
    EXPECT_FALSE(e.Wait(10));
    auto w1 = std::async(std::launch::async, [&] { return e.Wait(5000); });
    auto w2 = std::async(std::launch::async, [&] { return e.Wait(5000); });
    e.Set();
    EXPECT_TRUE(w1.get());
    EXPECT_TRUE(w2.get());
    EXPECT_TRUE(e.Wait(0));
    e.Reset();
    EXPECT_FALSE(e.IsSet());
    EXPECT_FALSE(e.Wait(10));
}

TEST(Interlocked, CountsFromManyThreads) {
    int32_t word = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                InterlockedIncrement(&word);
                InterlockedDecrement(&word);
                InterlockedIncrement(&word);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(InterlockedRead(&word), 40000);
}
