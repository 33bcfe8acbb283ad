#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "framework/CMessageQueueManager.h"
#include "framework/FilterMessages.h"
#include "framework/InstanceNames.h"
#include "framework/QueueTimers.h"
#include "platform/WindowSystem.h"
#include "support/Instance.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::WaitFor;

namespace {

class QueueManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseOwnInstance();
        ASSERT_TRUE(directory.Create(sizeof(QueueDirectory), InstanceNames::DirectoryRegion().c_str()));
    }

    // A copy of the directory, read under its lock.
    QueueDirectory Snapshot() {
        auto copy = std::make_unique<QueueDirectory>();
        directory.Lock();
        std::memcpy(copy.get(), directory.Data(), sizeof(QueueDirectory));
        directory.Unlock();
        return *copy;
    }

    int EntriesNamed(const std::string& name) {
        QueueDirectory d = Snapshot();
        int n = 0;
        for (const auto& e : d.entries) n += e.used && name == e.name;
        return n;
    }

    CSMemory directory;
};

// Counts what reaches the queue through its overridable operations.
class CountingQueue : public CMessageQueueBase {
public:
    ~CountingQueue() override { Close(); }
    int OnLoop(uint32_t argument) override {
        lastLoopArgument = argument;
        ++loops;
        return 1;
    }
    int OnTimer(uint32_t timer) override {
        lastTimer = timer;
        return 1;
    }
    platform::LResult OnMessage(uint32_t, platform::WParam w, platform::LParam) override { return platform::LResult(w) + 1; }
    std::atomic<int> loops{0};
    std::atomic<uint32_t> lastLoopArgument{0};
    std::atomic<uint32_t> lastTimer{0};
};

}  // namespace

TEST(InstanceNumber, DrawsLikeTheSeededLinearCongruentialGenerator) {
    EXPECT_EQ(DrawInstanceNumber(0), 38);
    EXPECT_EQ(DrawInstanceNumber(1), 41);
    for (long long s : {12345LL, 1700000000LL, 4102444800LL}) {
        uint32_t state = uint32_t(s) * 214013u + 2531011u;
        EXPECT_EQ(DrawInstanceNumber(s), int((state >> 16) & 0x7FFF));
        EXPECT_LE(DrawInstanceNumber(s), 32767);
    }
    EXPECT_EQ(DrawInstanceNumber(1700000000), DrawInstanceNumber(1700000000));
}

TEST(InstanceNames, CarryTheNumber) {
    InstanceNames::SetInstanceNumber(321);
    EXPECT_EQ(InstanceNames::ManagerQueueName(), "Message Queue Manager 321");
    EXPECT_EQ(InstanceNames::DirectoryRegion(), "MessageQueueManager Memory 321");
    EXPECT_EQ(InstanceNames::QueueRecordRegion("AVIArchive Query"), "AVIArchive Query QueueMemory 321");
    EXPECT_EQ(InstanceNames::FilterInfoRegion("Main User Privilege"), "Main User Privilege FilterMemory 321");
    EXPECT_EQ(InstanceNames::QueryRegion("X"), "X IPCQMemory 321");
    EXPECT_EQ(InstanceNames::AnswerRegion("X"), "X IPCAMemory 321");
    EXPECT_EQ(InstanceNames::PinRegion("Owner", 3), "Owner PIN 3 PINMemory 321");
}

TEST_F(QueueManagerTest, QueueIsFoundByNameAndLeavesWhenClosed) {
    CMessageQueueManager manager;
    manager.Start();
    CountingQueue q;
    q.Create("Some Filter", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue("Some Filter") != 0; }, 2000));
    EXPECT_EQ(CMessageQueueManager::FindQueue("Some Filter"), q.Window());
    EXPECT_EQ(CMessageQueueManager::FindQueue("some filter"), 0u);
    EXPECT_EQ(CMessageQueueManager::FindQueue("Other"), 0u);
    QueueDirectory d = Snapshot();
    EXPECT_EQ(d.managerWindow, manager.Window());
    q.Close();
    EXPECT_EQ(EntriesNamed("Some Filter"), 0);
    EXPECT_EQ(CMessageQueueManager::FindQueue("Some Filter"), 0u);
}

TEST_F(QueueManagerTest, ManagerAndQueuesAreEnteredWithTheirKinds) {
    CMessageQueueManager manager;
    manager.Start();
    CountingQueue q;
    q.Create("Kinds", kFilterQueue, 0, false, 0);
    ASSERT_TRUE(WaitFor([&] { return EntriesNamed("Kinds") == 1 && EntriesNamed(manager.Name()) == 1; }, 2000));
    QueueDirectory d = Snapshot();
    for (const auto& e : d.entries) {
        if (!e.used) continue;
        if (e.window == q.Window()) {
            EXPECT_EQ(e.queueKind, kFilterQueue);
        }
        if (e.window == manager.Window()) {
            EXPECT_EQ(e.queueKind, kManagerQueue);
        }
    }
}

TEST_F(QueueManagerTest, QueueMadeBeforeTheManagerRegistersWithItsNextAnnouncement) {
    CountingQueue q;
    q.Create("Early Bird", kFilterQueue, 0, true, 0);
    EXPECT_EQ(CMessageQueueManager::FindQueue("Early Bird"), 0u);
    CMessageQueueManager manager;
    manager.Start();
    EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue("Early Bird") == q.Window(); }, 2000));
}

TEST_F(QueueManagerTest, TwoQueuesOfOneNameTheLowerEntryWins) {
    CMessageQueueManager manager;
    manager.Start();
    CountingQueue first, second;
    first.Create("Twin", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return EntriesNamed("Twin") == 1; }, 2000));
    second.Create("Twin", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return EntriesNamed("Twin") == 2; }, 2000));
    EXPECT_EQ(CMessageQueueManager::FindQueue("Twin"), first.Window());
    first.Close();
    EXPECT_EQ(CMessageQueueManager::FindQueue("Twin"), second.Window());
}

TEST_F(QueueManagerTest, FullDirectoryLeavesNewQueuesOutUntilAnEntryFrees) {
    CMessageQueueManager manager;
    manager.Start();
    // The manager holds one entry itself.
    ASSERT_TRUE(WaitFor([&] { return EntriesNamed(manager.Name()) == 1; }, 2000));
    std::vector<std::unique_ptr<CountingQueue>> queues;
    for (int i = 0; i < 199; ++i) {
        queues.push_back(std::make_unique<CountingQueue>());
        queues.back()->Create("Q" + std::to_string(i), kFilterQueue, 0, false, 0);
    }
    ASSERT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue("Q198") != 0; }, 3000));
    CountingQueue extra;
    extra.Create("One Too Many", kFilterQueue, 0, true, 0);
    platform::SleepMs(700);  // at least one more announcement
    EXPECT_EQ(CMessageQueueManager::FindQueue("One Too Many"), 0u);
    queues[5]->Close();
    EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue("One Too Many") == extra.Window(); }, 2000));
}

TEST_F(QueueManagerTest, EntryOfAWindowThatEndedWithoutClosingIsPurged) {
    CMessageQueueManager manager;
    manager.Start();
    CountingQueue q;
    q.Create("Vanishing", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return EntriesNamed("Vanishing") == 1; }, 2000));
    platform::Hwnd h = q.Window();
    // End the queue's thread without WM_CLOSE: the window ends with its thread
    // and never says goodbye to the manager.
    platform::PostThreadMessage(q.OwnThreadId(), kEndQueueThreadMessage, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindow(h); }, 2000));
    EXPECT_EQ(CMessageQueueManager::FindQueue("Vanishing"), 0u);
    EXPECT_TRUE(WaitFor([&] { return EntriesNamed("Vanishing") == 0; }, kPurgePeriodMs + 300));
}

TEST_F(QueueManagerTest, NewManagerClaimsTheDirectoryOfAGoneOne) {
    auto first = std::make_unique<CMessageQueueManager>();
    first->Start();
    CMessageQueueManager second;
    second.Start();
    EXPECT_EQ(Snapshot().managerWindow, first->Window());
    first.reset();
    EXPECT_TRUE(WaitFor([&] { return Snapshot().managerWindow == second.Window(); }, kClaimPeriodMs + 200));
}

TEST_F(QueueManagerTest, QueueRecordDescribesTheQueue) {
    CountingQueue q;
    q.Create("Recorded", kFilterQueue, 0, false, 0);
    CSMemory record;
    ASSERT_TRUE(record.Open(sizeof(QueueRecord), InstanceNames::QueueRecordRegion("Recorded").c_str()));
    auto* r = static_cast<QueueRecord*>(record.Data());
    EXPECT_STREQ(r->name, "Recorded");
    EXPECT_EQ(r->queueKind, kFilterQueue);
    EXPECT_EQ(r->window, q.Window());
}

TEST_F(QueueManagerTest, TimersAndTheLoopRunOnTheQueueThread) {
    CountingQueue q;
    q.Create("Looper", kFilterQueue, 0, true, 0);
    EXPECT_EQ(q.StartLoop(77), 1);
    EXPECT_TRUE(WaitFor([&] { return q.loops >= 3; }, 2000));
    EXPECT_EQ(q.lastLoopArgument, 77u);
    EXPECT_EQ(q.StopLoop(), 1);
    EXPECT_EQ(q.StopLoop(), 0);
    EXPECT_EQ(q.StartTimer(4242, 10), 1);
    EXPECT_TRUE(WaitFor([&] { return q.lastTimer == 4242u; }, 2000));
    EXPECT_EQ(q.StopTimer(4242), 1);
    q.Close();
    EXPECT_EQ(q.StartTimer(4242, 10), 0);
    EXPECT_EQ(q.StartLoop(1), 0);
}

TEST_F(QueueManagerTest, RegisteredMessagesReachOnMessageOthersDoNot) {
    CountingQueue q;
    q.Create("Listener", kFilterQueue, 0, true, 0);
    uint32_t mine = platform::RegisterWindowMessage("test listener message");
    uint32_t other = platform::RegisterWindowMessage("test other message");
    EXPECT_EQ(platform::SendMessage(q.Window(), other, 5, 0), 0);
    q.RegisterMessage(mine);
    EXPECT_EQ(platform::SendMessage(q.Window(), mine, 5, 0), 6);
}

TEST_F(QueueManagerTest, BroadcastIsAnsweredWithARegistration) {
    CMessageQueueManager manager;
    manager.Start();
    CountingQueue q;
    q.Create("Answering", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return EntriesNamed("Answering") == 1; }, 2000));
    // Drop the entry behind the queue's back; a broadcast brings it back at once.
    directory.Lock();
    for (auto& e : static_cast<QueueDirectory*>(directory.Data())->entries)
        if (e.window == q.Window()) e.used = 0;
    directory.Unlock();
    platform::SendMessage(q.Window(), platform::RegisterWindowMessage(kRegistrationBroadcastMessage), manager.Window(), 0);
    EXPECT_EQ(EntriesNamed("Answering"), 1);
}
