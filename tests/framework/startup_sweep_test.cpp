#include <gtest/gtest.h>
#include <pthread.h>

#include <string>

#include "framework/CMessageQueueManager.h"
#include "support/Instance.h"
#include "support/PeerProcess.h"
#include "support/ShmObjects.h"

using namespace corvanta;

TEST(StartupSweep, NothingOfAKilledInstanceIsLeftAfterTheNextOneStarts) {
    int instance = test::UseOwnInstance();
    // A number no other test process uses, so the peer shares no region with anyone.
    test::PeerProcess peer(FRAMEWORK_PEER, {std::to_string(instance + 20000), "stream", "Swept Stream"});
    ASSERT_EQ(peer.ReadLine(), "ready");
    auto objects = test::ObjectsHeldOnlyBy(peer.Pid());
    int pictures = 0, mutexes = 0;
    for (const auto& o : objects) {
        pictures += o.size >= 5760000;
        mutexes += o.size == sizeof(pthread_mutex_t);
    }
    EXPECT_EQ(pictures, 1);
    // The held one, the frame's, the directory's, and two per ICP region at least.
    EXPECT_GE(mutexes, 7);
    peer.Kill();

    CMessageQueueManager manager;
    manager.Start();
    // The user's window table belongs to no instance: another test process
    // may map it between the kill and the sweep, and then it rightly stays.
    for (const auto& o : objects) {
        if (o.path.find("window_table") == std::string::npos) {
            EXPECT_FALSE(o.StillThere()) << o.path;
        }
    }
}
