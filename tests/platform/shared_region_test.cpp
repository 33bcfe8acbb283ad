// Shared regions: their life, sizes and names, sharing with another process,
// and the sweep of regions nobody uses: what killed processes left goes, what
// live processes hold or are opening stays and stays usable.

#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace

TEST(SharedRegion, IsZeroedPrivateSharedAndGoneWithItsLastUser) {
    std::string name = Unique("region life");
    auto a = SharedRegion::Open(name, 5000);
    ASSERT_TRUE(a) << a.Error().Message();
    EXPECT_FALSE(a.Value().Existed());
    auto* p = static_cast<unsigned char*>(a.Value().Data());
    for (size_t i = 0; i < 5000; ++i) ASSERT_EQ(p[i], 0) << i;
    mode_t mode = 0;
    ASSERT_TRUE(ObjectExists(name, &mode));
    EXPECT_EQ(mode, 0600u);

    auto b = SharedRegion::Open(name, 5000);
    ASSERT_TRUE(b);
    EXPECT_TRUE(b.Value().Existed());
    std::strcpy(static_cast<char*>(a.Value().Data()), "hello");
    EXPECT_STREQ(static_cast<char*>(b.Value().Data()), "hello");
    a.Value().Close();
    EXPECT_TRUE(SharedRegion::InUse(name));
    b.Value().Close();
    EXPECT_FALSE(ObjectExists(name));
    auto c = SharedRegion::Open(name, 64);
    ASSERT_TRUE(c);
    EXPECT_FALSE(c.Value().Existed());
}

TEST(SharedRegion, SmallerViewWorksLargerOrAbsentFails) {
    std::string name = Unique("region sizes");
    auto big = SharedRegion::Open(name, 1000);
    ASSERT_TRUE(big);
    static_cast<char*>(big.Value().Data())[10] = 'x';
    auto small = SharedRegion::Open(name, 68, SharedRegion::Mode::OpenExisting);
    ASSERT_TRUE(small);
    EXPECT_EQ(static_cast<char*>(small.Value().Data())[10], 'x');
    auto bigger = SharedRegion::Open(name, 1001);
    ASSERT_FALSE(bigger);
    EXPECT_EQ(bigger.Error().error, EINVAL);
    auto absent = SharedRegion::Open(Unique("region absent"), 68, SharedRegion::Mode::OpenExisting);
    ASSERT_FALSE(absent);
    EXPECT_EQ(absent.Error().error, ENOENT);
    EXPECT_FALSE(ObjectExists(Unique("region absent")));
    EXPECT_FALSE(SharedRegion::Open(Unique("region zero"), 0));
}

TEST(SharedRegion, AnyCharactersAndLengthsMakeDistinctNames) {
    std::string slashy = Unique("Cam\\01 / Some  Name\\x");
    std::string similar = Unique("Cam 01 / Some  Name x");
    std::string longName = Unique(std::string(2000, 'n'));
    auto a = SharedRegion::Open(slashy, 16);
    auto b = SharedRegion::Open(similar, 16);
    auto c = SharedRegion::Open(longName, 16);
    ASSERT_TRUE(a && b && c);
    EXPECT_FALSE(b.Value().Existed());
    EXPECT_FALSE(c.Value().Existed());
    EXPECT_LT(SharedRegion::ObjectName(longName).size(), 255u);
    EXPECT_TRUE(SharedRegion::Open("", 16));
}

TEST(SharedRegion, SharedWithAnotherProcessAndNotPoisonedByItsDeath) {
    std::string name = Unique("region peer");
    PeerProcess peer(PLATFORM_PEER, {"region", name, "256", "171"});
    ASSERT_EQ(peer.ReadLine(), "ready new");
    {
        auto r = SharedRegion::Open(name, 256);
        ASSERT_TRUE(r);
        EXPECT_TRUE(r.Value().Existed());
        EXPECT_EQ(static_cast<unsigned char*>(r.Value().Data())[255], 171);
    }
    // The killed peer left the object behind with nobody using it (unless a
    // sweep of another process has removed it already).
    peer.Kill();
    EXPECT_FALSE(SharedRegion::InUse(name));
    auto r = SharedRegion::Open(name, 256);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r.Value().Existed());
    EXPECT_EQ(static_cast<unsigned char*>(r.Value().Data())[0], 0);
}

TEST(RegionSweep, RemovesWhatKilledPeersLeftAndKeepsWhatLivePeersHold) {
    struct Case {
        std::vector<std::string> args;
        bool killed;
    };
    const std::vector<Case> cases = {
        {{"region", Unique("sweep dead region"), "4096", "1"}, true},
        {{"mutex", Unique("sweep dead mutex")}, true},
        {{"region", Unique("sweep live region"), "4096", "171"}, false},
        {{"mutex", Unique("sweep live mutex")}, false},
    };
    std::vector<std::unique_ptr<PeerProcess>> peers;
    std::vector<std::vector<HeldObject>> objects;
    for (const auto& c : cases) {
        peers.push_back(std::make_unique<PeerProcess>(PLATFORM_PEER, c.args));
        ASSERT_EQ(peers.back()->ReadLine().rfind("ready", 0), 0u) << c.args[1];
        objects.push_back(ObjectsHeldOnlyBy(peers.back()->Pid()));
        ASSERT_EQ(objects.back().size(), 1u) << c.args[1];
    }
    for (size_t i = 0; i < cases.size(); ++i)
        if (cases[i].killed) peers[i]->Kill();

    SharedRegion::RemoveUnused();
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(objects[i][0].StillThere(), !cases[i].killed) << cases[i].args[1];

    // The live peers' objects are the same ones, not made anew.
    auto region = SharedRegion::Open(cases[2].args[1], 4096);
    ASSERT_TRUE(region);
    EXPECT_TRUE(region.Value().Existed());
    EXPECT_EQ(static_cast<unsigned char*>(region.Value().Data())[4095], 171);
    bool existed = false;
    auto mutex = ProcessMutex::OpenNamed(cases[3].args[1], &existed);
    ASSERT_TRUE(mutex);
    EXPECT_TRUE(existed);
    EXPECT_EQ(mutex.Value().Lock(0), LockStatus::TimedOut);
    peers[3]->Kill();
    EXPECT_EQ(mutex.Value().Lock(1000), LockStatus::Abandoned);
    EXPECT_TRUE(mutex.Value().Unlock());
}

TEST(RegionSweep, LeavesARegionAnotherProcessIsOpening) {
    std::string name = Unique("sweep opening");
    std::unique_ptr<PeerProcess> sweeper;
    bool sweeperWaited = false;
    // Created but not yet locked by its opener: only the region lock keeps a
    // sweep off it, so the sweeper must be found waiting for that lock.
    auto r = SharedRegion::Open(name, 64, SharedRegion::Mode::CreateOrOpen, [&](void* data, size_t) {
        sweeper = std::make_unique<PeerProcess>(PLATFORM_PEER, std::vector<std::string>{"sweep"});
        sweeperWaited = WaitFor([&] { return WaitingForFileLock(sweeper->Pid()); }, 10000);
        static_cast<char*>(data)[0] = 'k';
    });
    ASSERT_TRUE(r);
    EXPECT_TRUE(sweeperWaited);
    EXPECT_EQ(sweeper->ReadLine().rfind("swept ", 0), 0u);
    EXPECT_EQ(sweeper->Wait(), 0);
    EXPECT_TRUE(ObjectExists(name));
    auto again = SharedRegion::Open(name, 64);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again.Value().Existed());
    EXPECT_EQ(static_cast<char*>(again.Value().Data())[0], 'k');
}
