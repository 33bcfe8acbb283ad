#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "framework/CFilterIcpClient.h"
#include "framework/CFrameworkException.h"
#include "platform/SharedRegion.h"
#include "platform/WindowSystem.h"
#include "support/Files.h"
#include "support/InstanceTest.h"
#include "support/TestFilters.h"

using namespace corvanta;
using corvanta::test::EventCollector;
using corvanta::test::WaitFor;

namespace {

using FilterLifecycleTest = test::InstanceTest;

class HookFilter : public CFilter {
public:
    ~HookFilter() override { Close(); }
    int OnStart() override {
        startedOn = std::this_thread::get_id();
        return 1;
    }
    int OnStop() override {
        ++stops;
        return 1;
    }
    int CB_Loop(uint32_t argument) override {
        loopArgument = argument;
        ++loops;
        if (throwInLoop) throw CFrameworkException("loop broke");
        return 1;
    }
    std::thread::id startedOn;
    std::atomic<int> stops{0}, loops{0};
    std::atomic<bool> throwInLoop{false};
    std::atomic<uint32_t> loopArgument{0};
};

size_t ThreadCount() { return size_t(test::CountEntries("/proc/self/task")); }

}  // namespace

TEST_F(FilterLifecycleTest, InitRefusesASecondInitAndANameTooLongForATitle) {
    CFilter a, tooLong;
    ASSERT_EQ(a.Init(CFilterDescriptor{.name = "Sequence A"}), 1);
    EXPECT_EQ(a.Init(CFilterDescriptor{.name = "Sequence C"}), 0);
    EXPECT_EQ(tooLong.Init(CFilterDescriptor{.name = std::string(600, 'n')}), 0);
    EXPECT_FALSE(platform::SharedRegion::InUse(InstanceNames::QueryRegion(std::string(600, 'n'))));
}

TEST_F(FilterLifecycleTest, StartAndStopWithAThreadOfItsOwnRunTheLoopOnlyWhileStarted) {
    HookFilter filter;
    CFilterDescriptor d{.name = "Threaded", .loopEnabled = 1};
    d.loopArgument = 31;
    ASSERT_EQ(filter.Init(d), 1);
    EXPECT_EQ(filter.Stop(true), 0);  // never started
    EXPECT_EQ(filter.Start(true), 1);
    EXPECT_NE(filter.startedOn, std::this_thread::get_id());
    ASSERT_TRUE(WaitFor([&] { return filter.loops >= 3; }, 3000));
    EXPECT_EQ(filter.loopArgument, 31u);
    EXPECT_EQ(filter.Stop(true), 1);
    int after = filter.loops;
    EXPECT_EQ(filter.Stop(true), 0);
    EXPECT_EQ(filter.stops, 1);
    platform::SleepMs(100);
    EXPECT_EQ(filter.loops, after);
}

TEST_F(FilterLifecycleTest, AnExceptionInTheLoopIsReportedAndTheLoopGoesOn) {
    EventCollector logger;
    ASSERT_TRUE(Registered(kEventLoggerName));
    HookFilter filter;
    ASSERT_EQ(filter.Init(CFilterDescriptor{.name = "Faulty Hooks", .loopEnabled = 1}), 1);
    filter.throwInLoop = true;
    filter.Start(true);
    ASSERT_TRUE(WaitFor([&] {
        auto records = logger.Records();
        return !records.empty() && EventCollector::Text(records[0]) == "loop broke - CB_Loop";
    }, 3000));
    filter.throwInLoop = false;
    const int after = filter.loops;
    EXPECT_TRUE(WaitFor([&] { return filter.loops > after + 2; }, 3000));
}

TEST_F(FilterLifecycleTest, CloseLeavesNoThreadRegionOrWindowBehind) {
    size_t threadsBefore = ThreadCount();
    std::string name = "Closing Filter";
    std::vector<std::string> names;
    for (const auto& r : {InstanceNames::FilterInfoRegion(name), InstanceNames::QueueRecordRegion(name)})
        names.insert(names.end(), {r, "mutex:" + r + " SMemoryMutex"});
    for (const auto& r : {InstanceNames::QueryRegion(name), InstanceNames::AnswerRegion(name)})
        names.insert(names.end(), {r, "mutex:" + r + " YSMemoryMutex1", "mutex:" + r + " YSMemoryMutex2"});
    HookFilter filter;
    ASSERT_EQ(filter.Init(CFilterDescriptor{.name = name, .loopEnabled = 1}), 1);
    platform::Hwnd window = filter.Window();
    filter.Start(true);
    ASSERT_TRUE(Registered(name));
    EXPECT_GT(ThreadCount(), threadsBefore);
    for (const auto& n : names) EXPECT_TRUE(platform::SharedRegion::InUse(n)) << n;
    EXPECT_EQ(filter.Close(), 1);  // while running
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_FALSE(platform::IsWindow(window) || filter.Window());
    for (const auto& n : names) EXPECT_FALSE(platform::SharedRegion::InUse(n)) << n;
    EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue(name) == 0; }, 3000));
    CFilterIcpClient client;
    EXPECT_EQ(client.Open(name.c_str()), 0);
}
