#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "framework/QueueTimers.h"
#include "platform/WindowSystem.h"
#include "support/Instance.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::WaitFor;

namespace {

// Starts no manager of its own: one case needs two of them.
class QueueManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseOwnInstance();
        ASSERT_TRUE(directory.Create(sizeof(QueueDirectory), InstanceNames::DirectoryRegion().c_str()));
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
};

}  // namespace

TEST_F(QueueManagerTest, QueueIsFoundByNameAndOfTwoOfOneNameTheLowerEntryWins) {
    CMessageQueueManager manager;
    manager.Start();
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
    CMessageQueueManager manager;
    manager.Start();
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
    CMessageQueueManager manager;
    manager.Start();
    CMessageQueueBase q;
    q.Create("Vanishing", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(WaitFor([&] { return Entries("Vanishing") == 1; }, 2000));
    platform::Hwnd h = q.Window();
    // Ending the thread takes the window without a goodbye to the manager.
    platform::PostThreadMessage(q.OwnThreadId(), kEndQueueThreadMessage, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !platform::IsWindow(h); }, 2000));
    EXPECT_TRUE(WaitFor([&] { return Entries("Vanishing") == 0; }, kPurgePeriodMs + 300));
}
