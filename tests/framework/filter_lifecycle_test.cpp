// Init, Start, Stop and Close of a filter, with and without a thread of its
// own, its loop and timer hooks, user messages, and what Close leaves behind.

#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "framework/CFilterIcpClient.h"
#include "framework/CFrameworkException.h"
#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "platform/SharedRegion.h"
#include "platform/WindowSystem.h"
#include "support/Instance.h"
#include "support/TestFilters.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::EventCollector;
using corvanta::test::WaitFor;

namespace {

class FilterLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseOwnInstance();
        manager.Start();
    }
    bool Registered(const std::string& name) {
        return WaitFor([&] { return CMessageQueueManager::FindQueue(name) != 0; }, 3000);
    }
    CMessageQueueManager manager;
};

// Records where and how often the hooks run.
class HookFilter : public CFilter {
public:
    ~HookFilter() override { Close(); }
    int OnStart() override {
        startedOn = std::this_thread::get_id();
        ++starts;
        return 1;
    }
    int OnStop() override {
        ++stops;
        return 1;
    }
    int CB_Loop(uint32_t argument) override {
        loopArgument = argument;
        ++loops;
        if (throwInLoop == 1) throw CFrameworkException("loop broke");
        if (throwInLoop == 2) throw 7;
        return 1;
    }
    int CB_Timer(uint32_t timer) override {
        lastTimer = timer;
        ++timers;
        if (throwInTimer) throw std::runtime_error("not ours");
        return 1;
    }
    platform::LResult OnUserMessage(uint32_t msg, platform::WParam w, platform::LParam l) override {
        lastUserMessage = msg;
        return platform::LResult(w + 2 * l);
    }
    std::thread::id startedOn;
    std::atomic<int> starts{0}, stops{0}, loops{0}, timers{0};
    std::atomic<uint32_t> loopArgument{0}, lastTimer{0}, lastUserMessage{0};
    std::atomic<int> throwInLoop{0};
    std::atomic<bool> throwInTimer{false};
};

size_t ThreadCount() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

}  // namespace

TEST(FilterDescriptor, DefaultsAndArgumentOrder) {
    CFilterDescriptor d;
    EXPECT_EQ(d.name, "Unknown");
    EXPECT_EQ(d.classCode, 0u);
    EXPECT_EQ(d.typeCode, 0u);
    EXPECT_EQ(d.thirdCode, 0u);
    EXPECT_EQ(d.loopEnabled, 0u);
    EXPECT_EQ(d.ownThread, 1u);
    EXPECT_EQ(d.version, "0.0.0");
    EXPECT_EQ(d.queryCapacity, 16000u);
    EXPECT_EQ(d.answerCapacity, 16000u);
    EXPECT_EQ(d.spareNumber, 10u);
    EXPECT_EQ(d.threadPriority, 0);
    EXPECT_EQ(d.parentWindow, 0u);
    EXPECT_EQ(d.sequenceNumber, 0u);
    EXPECT_EQ(d.loopArgument, 0u);

    CFilterDescriptor e("AVIPlayback Manager", 1, 24, 3, 1, 0, "1.0.0", 64000, 5760000, 200, 2, 77, 9);
    EXPECT_EQ(e.name, "AVIPlayback Manager");
    EXPECT_EQ(e.classCode, 1u);
    EXPECT_EQ(e.typeCode, 24u);
    EXPECT_EQ(e.thirdCode, 3u);
    EXPECT_EQ(e.loopEnabled, 1u);
    EXPECT_EQ(e.ownThread, 0u);
    EXPECT_EQ(e.version, "1.0.0");
    EXPECT_EQ(e.queryCapacity, 64000u);
    EXPECT_EQ(e.answerCapacity, 5760000u);
    EXPECT_EQ(e.spareNumber, 200u);
    EXPECT_EQ(e.threadPriority, 2);
    EXPECT_EQ(e.parentWindow, 77u);
    EXPECT_EQ(e.sequenceNumber, 9u);
}

TEST_F(FilterLifecycleTest, InitTakesTheNextSequenceNumberAndRefusesASecondInit) {
    CFilter a, b;
    ASSERT_EQ(a.Init(CFilterDescriptor("Sequence A", 0, 0, 0, 0, 1, "1.0.0", 100, 100, 10, 0, 0, 500)), 1);
    ASSERT_EQ(b.Init(CFilterDescriptor("Sequence B")), 1);
    EXPECT_NE(a.Descriptor().sequenceNumber, 500u);
    EXPECT_EQ(b.Descriptor().sequenceNumber, a.Descriptor().sequenceNumber + 1);
    EXPECT_EQ(a.Init(CFilterDescriptor("Sequence C")), 0);
    EXPECT_EQ(a.Name(), "Sequence A");
    // A name too long for a window title gives no filter.
    CFilter tooLong;
    std::string name(600, 'n');
    EXPECT_EQ(tooLong.Init(CFilterDescriptor(name)), 0);
    EXPECT_FALSE(platform::SharedRegion::InUse(InstanceNames::QueryRegion(name)));
    a.Close();
    b.Close();
}

TEST_F(FilterLifecycleTest, StartAndStopWithAThreadOfItsOwn) {
    HookFilter filter;
    ASSERT_EQ(filter.Init(CFilterDescriptor("Threaded")), 1);
    EXPECT_EQ(filter.Stop(true), 0);  // never started
    EXPECT_EQ(filter.stops, 0);

    EXPECT_EQ(filter.Start(true), 1);
    EXPECT_TRUE(filter.IsRunning());
    EXPECT_FALSE(filter.IsStopped());
    EXPECT_EQ(filter.starts, 1);
    EXPECT_NE(filter.startedOn, std::this_thread::get_id());

    EXPECT_EQ(filter.Stop(true), 1);
    EXPECT_FALSE(filter.IsRunning());
    EXPECT_TRUE(filter.IsStopped());
    EXPECT_EQ(filter.stops, 1);
    EXPECT_EQ(filter.Stop(true), 0);
    EXPECT_EQ(filter.stops, 1);

    // Started again after a stop.
    EXPECT_EQ(filter.Start(true), 1);
    EXPECT_EQ(filter.starts, 2);
    EXPECT_EQ(filter.Stop(true), 1);
    filter.Close();
}

TEST_F(FilterLifecycleTest, StartAndStopOnTheCallingThread) {
    HookFilter filter;
    ASSERT_EQ(filter.Init(CFilterDescriptor("Unthreaded", 0, 0, 0, 0, 0)), 1);
    // The start is posted: it happens when this thread handles its messages.
    EXPECT_EQ(filter.Start(true), 1);
    EXPECT_FALSE(filter.IsRunning());
    ASSERT_TRUE(WaitFor([&] {
        platform::PumpMessages();
        return filter.IsRunning();
    }, 3000));
    EXPECT_EQ(filter.startedOn, std::this_thread::get_id());

    // The stop is sent, so it has happened when Stop returns.
    EXPECT_EQ(filter.Stop(false), 1);
    EXPECT_TRUE(filter.IsStopped());
    EXPECT_EQ(filter.stops, 1);
    EXPECT_EQ(filter.Stop(false), 0);
    EXPECT_EQ(filter.stops, 1);
    filter.Close();
}

TEST_F(FilterLifecycleTest, AFailedSynchronousStopShowsTwoAndGoesOn) {
    test::RecordingMessageBoxes boxes;
    HookFilter filter;
    // The queue window belongs to a thread that ends once the filter runs.
    std::thread owner([&] {
        filter.Init(CFilterDescriptor("Orphaned", 0, 0, 0, 0, 0));
        filter.Start(false);
        WaitFor([&] {
            platform::PumpMessages();
            return filter.IsRunning();
        }, 3000);
    });
    owner.join();
    ASSERT_TRUE(filter.IsRunning());
    EXPECT_EQ(filter.Stop(true), 1);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"2"});
    EXPECT_EQ(filter.stops, 0);
    filter.Close();
}

TEST_F(FilterLifecycleTest, TheLoopRunsWhileStartedWithItsArgument) {
    HookFilter filter;
    CFilterDescriptor d("Looping", 0, 0, 0, 1);
    d.loopArgument = 31;
    ASSERT_EQ(filter.Init(d), 1);
    EXPECT_FALSE(WaitFor([&] { return filter.loops > 0; }, 100));
    filter.Start(true);
    ASSERT_TRUE(WaitFor([&] { return filter.loops >= 3; }, 3000));
    EXPECT_EQ(filter.loopArgument, 31u);
    filter.Stop(true);
    int after = filter.loops;
    platform::SleepMs(100);
    EXPECT_EQ(filter.loops, after);
    filter.Close();
}

TEST_F(FilterLifecycleTest, TimersStartedThroughTheQueueReachCB_Timer) {
    HookFilter filter;
    ASSERT_EQ(filter.Init(CFilterDescriptor("Timed Filter")), 1);
    ASSERT_EQ(filter.Queue().StartTimer(4321, 5), 1);
    ASSERT_TRUE(WaitFor([&] { return filter.timers > 0; }, 3000));
    filter.Queue().StopTimer(4321);
    EXPECT_EQ(filter.lastTimer, 4321u);
    filter.Close();
}

TEST_F(FilterLifecycleTest, ExceptionsInTheLoopAndTimersAreReportedAndTheFilterGoesOn) {
    EventCollector logger;
    ASSERT_TRUE(Registered(kEventLoggerName));
    HookFilter filter;
    CFilterDescriptor d("Faulty Hooks", 7, 24, 0, 1);
    ASSERT_EQ(filter.Init(d), 1);
    filter.throwInLoop = 1;
    filter.Start(true);
    ASSERT_TRUE(WaitFor([&] { return !logger.Records().empty(); }, 3000));
    filter.throwInLoop = 2;
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& r : logger.Records())
            if (EventCollector::Text(r) == "CB_Loop - Unknown") return true;
        return false;
    }, 3000));
    filter.throwInLoop = 0;
    filter.Stop(true);
    filter.throwInTimer = true;
    filter.Queue().StartTimer(99, 5);
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& r : logger.Records())
            if (EventCollector::Text(r) == "CB_Timer - Unknown") return true;
        return false;
    }, 3000));
    filter.Queue().StopTimer(99);

    const EventRecord first = logger.Records().front();
    EXPECT_EQ(EventCollector::Text(first), "loop broke - CB_Loop");
    EXPECT_EQ(first.eventType, uint32_t(kEventError));
    EXPECT_EQ(first.eventCode, kEventCodeHandlerException);
    EXPECT_STREQ(first.sourceName, "Faulty Hooks");
    EXPECT_EQ(first.sourceClass, 7u);
    EXPECT_EQ(first.sourceType, 24u);
    // Still serving requests.
    CFilterIcpClient client;
    ASSERT_TRUE(Registered("Faulty Hooks"));
    ASSERT_EQ(client.Open("Faulty Hooks"), 1);
    std::string name;
    EXPECT_EQ(client.GetString("FilterDisplayName", &name), 1);
    filter.Close();
}

TEST_F(FilterLifecycleTest, UserMessagesReachOnUserMessageAndOthersAnswerOne) {
    HookFilter filter;
    EXPECT_EQ(filter.AddUserMessage(platform::RegisterWindowMessage("Lifecycle Test Message")), 0);
    ASSERT_EQ(filter.Init(CFilterDescriptor("User Messages")), 1);
    uint32_t msg = platform::RegisterWindowMessage("Lifecycle Test Message");
    ASSERT_EQ(filter.AddUserMessage(msg), 1);
    EXPECT_EQ(platform::SendMessage(filter.Window(), msg, 3, 4), 11);
    EXPECT_EQ(filter.lastUserMessage, msg);
    // A number only the queue knows is answered 1 without the hook.
    uint32_t other = platform::RegisterWindowMessage("Lifecycle Other Message");
    filter.Queue().RegisterMessage(other);
    filter.lastUserMessage = 0;
    EXPECT_EQ(platform::SendMessage(filter.Window(), other, 3, 4), 1);
    EXPECT_EQ(filter.lastUserMessage, 0u);
    filter.Close();
}

TEST_F(FilterLifecycleTest, CloseLeavesNoThreadRegionOrWindowBehind) {
    size_t threadsBefore = ThreadCount();
    std::string name = "Closing Filter";
    std::vector<std::string> regions = {InstanceNames::FilterInfoRegion(name), InstanceNames::QueryRegion(name),
                                        InstanceNames::AnswerRegion(name), InstanceNames::QueueRecordRegion(name)};
    std::vector<std::string> mutexes = {
        "mutex:" + regions[0] + " SMemoryMutex",   "mutex:" + regions[1] + " YSMemoryMutex1",
        "mutex:" + regions[1] + " YSMemoryMutex2", "mutex:" + regions[2] + " YSMemoryMutex1",
        "mutex:" + regions[2] + " YSMemoryMutex2", "mutex:" + regions[3] + " SMemoryMutex"};
    platform::Hwnd window = 0;
    {
        HookFilter filter;
        ASSERT_EQ(filter.Init(CFilterDescriptor(name, 0, 0, 0, 1)), 1);
        window = filter.Window();
        filter.Start(true);
        ASSERT_TRUE(Registered(name));
        EXPECT_GT(ThreadCount(), threadsBefore);
        for (const auto& r : regions) EXPECT_TRUE(platform::SharedRegion::InUse(r)) << r;
        for (const auto& m : mutexes) EXPECT_TRUE(platform::SharedRegion::InUse(m)) << m;
        filter.Stop(true);
        filter.Disconnect();
        EXPECT_EQ(filter.Close(), 1);
        EXPECT_EQ(ThreadCount(), threadsBefore);
        EXPECT_FALSE(platform::IsWindow(window));
        EXPECT_EQ(filter.Window(), 0u);
        for (const auto& r : regions) EXPECT_FALSE(platform::SharedRegion::InUse(r)) << r;
        for (const auto& m : mutexes) EXPECT_FALSE(platform::SharedRegion::InUse(m)) << m;
        // The settings went with it.
        std::string display;
        EXPECT_EQ(filter.Settings().GetText("FilterDisplayName", display), 0);
    }
    EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue(name) == 0; }, 3000));
    CFilterIcpClient client;
    EXPECT_EQ(client.Open(name.c_str()), 0);
}
