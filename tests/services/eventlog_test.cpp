// corvanta-eventlog in its own process prints what the filters of this one report.

#include <gtest/gtest.h>
#include <signal.h>

#include <regex>
#include <stdexcept>
#include <string>

#include "framework/CFilter.h"
#include "framework/CFilterIcpClient.h"
#include "framework/CFrameworkException.h"
#include "framework/CMessageQueueManager.h"
#include "framework/EventReport.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::PeerProcess;
using corvanta::test::WaitFor;

namespace {

// A control filter whose command 14 fails with a framework exception and 15 with another kind.
class ControlFilter : public CFilter {
public:
    ControlFilter() {
        Init(CFilterDescriptor("RARUdivar Main Dialog", 7, 26, 0, 0, 1, "1.0.0", 36000, 36000));
        Settings().SetText("FilterDisplayName", "Main Dialog");
    }
    ~ControlFilter() override { Close(); }
    int OnIcp(IcpRecord* q, IcpRecord*) override {
        if (q->code == 14) throw CFrameworkException("login refused");
        if (q->code == 15) throw std::out_of_range("index");
        return 1;
    }
};

class EventLogTool : public test::InstanceTest {
protected:
    static bool LoggerGone() { return WaitFor([] { return !CMessageQueueManager::FindQueue(kEventLoggerName); }, 3000); }
};

// The rest of a line after its "2026-12-05 16:07:09.042 | " time.
std::string AfterTime(const std::string& line) {
    static const std::regex time(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \| )");
    std::smatch m;
    return std::regex_search(line, m, time) ? m.suffix().str() : "no time in: " + line;
}

}  // namespace

TEST_F(EventLogTool, PrintsTheReportsOfAControlAndStopsOnSignal) {
    PeerProcess tool(EVENTLOG_PROGRAM, {std::to_string(instance)});
    ASSERT_EQ(tool.ReadLine(),
              "corvanta-eventlog: listening on instance " + std::to_string(instance) + " as \"Main Event Logger\"");
    ASSERT_TRUE(Registered(kEventLoggerName));

    ControlFilter control;
    CFilterIcpClient client;
    ASSERT_TRUE(WaitFor([&] { return client.Open("RARUdivar Main Dialog") == 1; }, 3000));
    EXPECT_EQ(client.SendCommand(14, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(AfterTime(tool.ReadLine()),
              "RARUdivar Main Dialog (Main Dialog) | type 2 | code 19 | login refused - IPC 3 - 14");
    EXPECT_EQ(client.SendCommand(15, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(AfterTime(tool.ReadLine()),
              "RARUdivar Main Dialog (Main Dialog) | type 2 | code 19 | IPC 3 - 15 - Unknown");
    EXPECT_EQ(ReportEventNote(3, nullptr, "recorder unreachable", "retrying"), 1);
    EXPECT_EQ(AfterTime(tool.ReadLine()), "System | type 3 | code 3 | note retrying | recorder unreachable");
    const uint8_t bytes[3] = {0x01, 0xFF, 0x00};
    EXPECT_EQ(ReportEventPlain(8, &control, bytes, 3), 1);
    EXPECT_EQ(AfterTime(tool.ReadLine()), "RARUdivar Main Dialog (Main Dialog) | type 4 | code 8 | data 01FF00");

    ASSERT_EQ(kill(tool.Pid(), SIGTERM), 0);
    EXPECT_EQ(tool.Wait(), 0);
    EXPECT_TRUE(LoggerGone());
    EXPECT_EQ(ReportEvent(kEventError, 1, nullptr, "x", 2), 0) << "with the logger gone, reports are dropped";
}

TEST_F(EventLogTool, RefusesASecondLoggerAndBadArguments) {
    PeerProcess first(EVENTLOG_PROGRAM, {std::to_string(instance)});
    ASSERT_NE(first.ReadLine(), "");
    ASSERT_TRUE(Registered(kEventLoggerName));
    PeerProcess second(EVENTLOG_PROGRAM, {std::to_string(instance)});
    EXPECT_EQ(second.Wait(), 1);
    ASSERT_EQ(kill(first.Pid(), SIGINT), 0);
    EXPECT_EQ(first.Wait(), 0);

    PeerProcess noNumber(EVENTLOG_PROGRAM, {"twelve"});
    EXPECT_EQ(noNumber.Wait(), 2);
    PeerProcess help(EVENTLOG_PROGRAM, {"--help"});
    EXPECT_EQ(help.ReadLine(), "Usage: corvanta-eventlog INSTANCE");
    EXPECT_EQ(help.Wait(), 0);
}
