// corvanta-eventlog against a control played by this test process: the
// control's filters report events, the logger in its own process prints them.

#include <gtest/gtest.h>
#include <signal.h>

#include <cctype>
#include <stdexcept>
#include <string>

#include "framework/CFilter.h"
#include "framework/CFilterIcpClient.h"
#include "framework/CFrameworkException.h"
#include "framework/CMessageQueueManager.h"
#include "framework/EventReport.h"
#include "support/Instance.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::PeerProcess;
using corvanta::test::WaitFor;

namespace {

// A filter of the control whose command 14 fails with a framework exception
// and 15 with another kind.
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

class EventLogTool : public ::testing::Test {
protected:
    void SetUp() override {
        instance = test::UseOwnInstance();
        manager.Start();
    }
    bool LoggerRegistered(bool registered) {
        return WaitFor([&] { return (CMessageQueueManager::FindQueue(kEventLoggerName) != 0) == registered; }, 3000);
    }
    int instance = 0;
    CMessageQueueManager manager;
};

// "2026-12-05 16:07:09.042 | " followed by the rest, which is returned.
std::string AfterTime(const std::string& line) {
    const std::string shape = "dddd-dd-dd dd:dd:dd.ddd | ";
    bool matches = line.size() >= shape.size();
    for (size_t i = 0; matches && i < shape.size(); ++i)
        matches = shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0 : shape[i] == line[i];
    return matches ? line.substr(shape.size()) : "no time in: " + line;
}

}  // namespace

TEST_F(EventLogTool, PrintsTheReportsOfAControlAndStopsOnSignal) {
    PeerProcess tool(EVENTLOG_PROGRAM, {std::to_string(instance)});
    ASSERT_EQ(tool.ReadLine(),
              "corvanta-eventlog: listening on instance " + std::to_string(instance) + " as \"Main Event Logger\"");
    ASSERT_TRUE(LoggerRegistered(true));

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
    EXPECT_TRUE(LoggerRegistered(false));
    // With the logger gone, reports are dropped again.
    EXPECT_EQ(ReportEvent(kEventError, 1, nullptr, "x", 2), 0);
}

TEST_F(EventLogTool, RefusesASecondLoggerAndBadArguments) {
    PeerProcess first(EVENTLOG_PROGRAM, {std::to_string(instance)});
    ASSERT_NE(first.ReadLine(), "");
    ASSERT_TRUE(LoggerRegistered(true));
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
