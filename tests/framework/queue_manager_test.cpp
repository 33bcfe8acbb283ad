#include <gtest/gtest.h>
#include <pthread.h>

#include <memory>
#include <tuple>
#include <vector>

#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "framework/QueueTimers.h"
#include "platform/WindowSystem.h"
#include "support/Instance.h"
#include "support/PeerProcess.h"
#include "support/ShmObjects.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::WaitFor;

namespace {

class QueueManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseOwnInstance();
        ASSERT_TRUE(directory.Create(sizeof(QueueDirectory), InstanceNames::DirectoryRegion().c_str()));
        manager.Start();
    }
    QueueDirectory* Dir() { return static_cast<QueueDirectory*>(directory.Data()); }
    // Used entries of this name.
    int Entries(const std::string& name) {
        directory.Lock();
        int n = 0;
        for (const auto& e : Dir()->entries) n += e.used && name == e.name;
        directory.Unlock();
        return n;
    }
    static bool Found(const std::string& name, platform::Hwnd window, uint32_t ms = 2000) {
        return WaitFor([&] { return CMessageQueueManager::FindQueue(name) == window; }, ms);
    }
    CSMemory directory;
    CMessageQueueManager manager;
};

}  // namespace

TEST_F(QueueManagerTest, QueueIsFoundByNameAndOfTwoOfOneNameTheLowerEntryWins) {
    CMessageQueueBase first, second;
    first.Create("Twin", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(Found("Twin", first.Window()));
    CSMemory record;
    ASSERT_TRUE(record.Open(sizeof(QueueRecord), InstanceNames::QueueRecordRegion("Twin").c_str()));
    const auto* r = static_cast<QueueRecord*>(record.Data());
    EXPECT_EQ(std::tuple(r->window, r->queueKind), std::tuple(first.Window(), kFilterQueue));
    second.Create("Twin", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return Entries("Twin") == 2; }, 2000));
    EXPECT_EQ(CMessageQueueManager::FindQueue("Twin"), first.Window());
    first.Close();
    EXPECT_EQ(CMessageQueueManager::FindQueue("Twin"), second.Window());
}

TEST_F(QueueManagerTest, FullDirectoryLeavesNewQueuesOutUntilAnEntryFrees) {
    // The manager holds one of the 200 entries itself.
    ASSERT_TRUE(WaitFor([&] { return Entries(manager.Name()) == 1; }, 2000));
    std::vector<std::unique_ptr<CMessageQueueBase>> queues;
    for (int i = 0; i < 199; ++i) {
        queues.push_back(std::make_unique<CMessageQueueBase>());
        queues.back()->Create("Q" + std::to_string(i), kFilterQueue, 0, false, 0);
    }
    ASSERT_TRUE(Found("Q198", queues.back()->Window(), 3000));
    CMessageQueueBase extra;
    extra.Create("One Too Many", kFilterQueue, 0, true, 0);
    platform::SleepMs(kAnnouncePeriodMs + 200);
    EXPECT_EQ(CMessageQueueManager::FindQueue("One Too Many"), 0u);
    // Its next announcement takes the freed entry.
    queues[5]->Close();
    EXPECT_TRUE(Found("One Too Many", extra.Window()));
}

TEST_F(QueueManagerTest, EntryOfAWindowThatEndedWithoutClosingIsPurged) {
    CMessageQueueBase q;
    q.Create("Vanishing", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return Entries("Vanishing") == 1; }, 2000));
    platform::Hwnd h = q.Window();
    // Ending the thread takes the window without a goodbye to the manager.
    platform::PostThreadMessage(q.OwnThreadId(), kEndQueueThreadMessage, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindow(h); }, 2000));
    EXPECT_TRUE(WaitFor([&] { return Entries("Vanishing") == 0; }, kPurgePeriodMs + 300));
}

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
