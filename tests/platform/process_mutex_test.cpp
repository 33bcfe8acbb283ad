#include <gtest/gtest.h>

#include <future>

#include "platform/ProcessMutex.h"
#include "support/PeerProcess.h"

using namespace corvanta::platform;
using corvanta::test::PeerProcess;

namespace {

template <typename Fn>
auto OnAnotherThread(Fn fn) {
    return std::async(std::launch::async, fn).get();
}

}  // namespace

TEST(ProcessMutex, RecursiveForItsOwnerAndUntouchedByOthers) {
    ProcessMutex m;
    ASSERT_EQ(m.Lock(), LockStatus::Acquired);
    ASSERT_EQ(m.Lock(0), LockStatus::Acquired);
    EXPECT_EQ(OnAnotherThread([&] { return m.Lock(30); }), LockStatus::TimedOut);
    EXPECT_FALSE(OnAnotherThread([&] { return m.Unlock(); }));
    EXPECT_TRUE(m.Unlock());
    // Still held once: neither the other thread's release nor this one freed it.
    EXPECT_EQ(OnAnotherThread([&] { return m.Lock(0); }), LockStatus::TimedOut);
    EXPECT_TRUE(m.Unlock());
    EXPECT_FALSE(m.Unlock());
}

TEST(ProcessMutex, AbandonedByAKilledProcessIsReportedAndStaysUsable) {
    std::string name = "mutex abandoned " + std::to_string(getpid());
    bool existed = true;
    auto named = ProcessMutex::OpenNamed(name, &existed);
    ASSERT_TRUE(named);
    EXPECT_FALSE(existed);
    ProcessMutex& m = named.Value();
    PeerProcess peer(PLATFORM_PEER, {"mutex", name});
    ASSERT_EQ(peer.ReadLine(), "ready");
    EXPECT_EQ(m.Lock(50), LockStatus::TimedOut);
    peer.Kill();
    EXPECT_EQ(m.Lock(1000), LockStatus::Abandoned);
    EXPECT_TRUE(m.Unlock());
    EXPECT_EQ(m.Lock(0), LockStatus::Acquired);
    m.Unlock();
}
