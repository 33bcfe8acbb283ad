// The sweep of regions nobody uses: what killed processes left goes, what
// live processes hold or are opening stays and stays usable.

#include <gtest/gtest.h>
#include <unistd.h>

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

}  // namespace

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
    EXPECT_TRUE(RegionObjectExists(name));
    auto again = SharedRegion::Open(name, 64);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again.Value().Existed());
    EXPECT_EQ(static_cast<char*>(again.Value().Data())[0], 'k');
}
