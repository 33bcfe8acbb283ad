#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <future>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/ProcessMutex.h"
#include "platform/SharedRegion.h"
#include "support/PeerProcess.h"
#include "support/ShmObjects.h"
#include "support/WaitFor.h"

using namespace corvanta::platform;
using namespace corvanta::test;

namespace {

std::string Unique(const std::string& what) { return what + " " + std::to_string(getpid()); }

bool ObjectExists(const std::string& name, mode_t* mode = nullptr) {
    struct stat st{};
    if (stat(("/dev/shm" + SharedRegion::ObjectName(name)).c_str(), &st) != 0) return false;
    if (mode) *mode = st.st_mode & 0777;
    return true;
}


template <typename Fn>
auto OnAnotherThread(Fn fn) {
    return std::async(std::launch::async, fn).get();
}
}  // namespace

TEST(SharedRegion, IsZeroedPrivateSharedSizeCheckedAndGoneWithItsLastUser) {
    std::string name = Unique("region life");
    auto a = SharedRegion::Open(name, 5000);
    ASSERT_TRUE(a) << a.Error().Message();
    EXPECT_FALSE(a.Value().Existed());
    auto* p = static_cast<unsigned char*>(a.Value().Data());
    EXPECT_TRUE(std::all_of(p, p + 5000, [](unsigned char c) { return c == 0; }));
    mode_t mode = 0;
    EXPECT_TRUE(ObjectExists(name, &mode) && mode == 0600u) << std::oct << mode;

    // A smaller view works; a larger one, or one of an absent region, fails.
    auto b = SharedRegion::Open(name, 68, SharedRegion::Mode::OpenExisting);
    ASSERT_TRUE(b && b.Value().Existed());
    std::strcpy(static_cast<char*>(a.Value().Data()), "hello");
    EXPECT_STREQ(static_cast<char*>(b.Value().Data()), "hello");
    EXPECT_EQ(SharedRegion::Open(name, 5001).Error().error, EINVAL);
    EXPECT_EQ(SharedRegion::Open(Unique("region absent"), 68, SharedRegion::Mode::OpenExisting).Error().error, ENOENT);
    EXPECT_FALSE(ObjectExists(Unique("region absent")));
    a.Value().Close();
    EXPECT_TRUE(SharedRegion::InUse(name));
    b.Value().Close();
    EXPECT_FALSE(ObjectExists(name));

    auto slashy = SharedRegion::Open(Unique("Cam\\01 / Name"), 16);
    auto similar = SharedRegion::Open(Unique("Cam 01 / Name"), 16);
    auto longName = SharedRegion::Open(Unique(std::string(2000, 'n')), 16);
    ASSERT_TRUE(slashy && similar && longName);
    EXPECT_FALSE(similar.Value().Existed() || longName.Value().Existed());
}

TEST(RegionSweep, RemovesWhatKilledPeersLeftAndKeepsWhatLivePeersHold) {
    const std::vector<std::vector<std::string>> dead = {{"region", Unique("sweep dead region"), "4096", "1"},
                                                        {"mutex", Unique("sweep dead mutex")}};
    const std::vector<std::string> live = {"region", Unique("sweep live region"), "4096", "171"};
    std::vector<HeldObject> left;
    for (const auto& args : dead) {
        PeerProcess peer(PLATFORM_PEER, args);
        ASSERT_EQ(peer.ReadLine().rfind("ready", 0), 0u) << args[1];
        auto objects = ObjectsHeldOnlyBy(peer.Pid());
        ASSERT_EQ(objects.size(), 1u) << args[1];
        left.push_back(objects[0]);
        peer.Kill();
    }
    PeerProcess holder(PLATFORM_PEER, live), mutexHolder(PLATFORM_PEER, {"mutex", Unique("sweep live mutex")});
    ASSERT_EQ(holder.ReadLine().rfind("ready", 0), 0u);
    ASSERT_EQ(mutexHolder.ReadLine().rfind("ready", 0), 0u);
    const auto liveMutex = ObjectsHeldOnlyBy(mutexHolder.Pid());
    ASSERT_EQ(liveMutex.size(), 1u);

    SharedRegion::RemoveUnused();
    for (const HeldObject& o : left) EXPECT_FALSE(o.StillThere()) << o.path;
    EXPECT_TRUE(liveMutex[0].StillThere());
    // The live peer's region is the same one, not made anew.
    auto region = SharedRegion::Open(live[1], 4096);
    ASSERT_TRUE(region && region.Value().Existed());
    EXPECT_EQ(static_cast<unsigned char*>(region.Value().Data())[4095], 171);
}

// Created but not yet locked by its opener: only the region lock keeps a
// sweep off it, so the sweeper must be found waiting for that lock.
TEST(RegionSweep, LeavesARegionAnotherProcessIsOpening) {
    std::string name = Unique("sweep opening");
    std::unique_ptr<PeerProcess> sweeper;
    bool sweeperWaited = false;
    auto r = SharedRegion::Open(name, 64, SharedRegion::Mode::CreateOrOpen, [&](void* data, size_t) {
        sweeper = std::make_unique<PeerProcess>(PLATFORM_PEER, std::vector<std::string>{"sweep"});
        sweeperWaited = WaitFor([&] { return WaitingForFileLock(sweeper->Pid()); }, 10000);
        static_cast<char*>(data)[0] = 'k';
    });
    ASSERT_TRUE(r);
    EXPECT_TRUE(sweeperWaited);
    EXPECT_EQ(sweeper->ReadLine().rfind("swept ", 0), 0u);
    EXPECT_EQ(sweeper->Wait(), 0);
    auto again = SharedRegion::Open(name, 64);
    ASSERT_TRUE(again && again.Value().Existed());
    EXPECT_EQ(static_cast<char*>(again.Value().Data())[0], 'k');
}

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
