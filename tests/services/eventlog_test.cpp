#include <gtest/gtest.h>
#include <signal.h>

#include <regex>
#include <string>

#include "framework/CFilter.h"
#include "framework/CMessageQueueManager.h"
#include "framework/EventReport.h"
#include "framework/FilterCodes.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::PeerProcess;
using corvanta::test::WaitFor;

namespace {

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

    // What a handler's exception reports is the framework tests' part; here
    // records from a filter and from the system are printed.
    CFilter control;
    control.Init(CFilterDescriptor{.name = "RARUdivar Main Dialog", .classCode = kFilterClassDialog,
                                   .typeCode = kFilterTypeMainDialog, .version = "1.0.0"});
    control.Settings().SetText("FilterDisplayName", "Main Dialog");
    EXPECT_EQ(ReportEventNote(3, nullptr, "recorder unreachable", "retrying"), 1);
    EXPECT_EQ(AfterTime(tool.ReadLine()), "System | type 3 | code 3 | note retrying | recorder unreachable");
    const uint8_t bytes[3] = {0x01, 0xFF, 0x00};
    EXPECT_EQ(ReportEventPlain(8, &control, bytes, 3), 1);
    EXPECT_EQ(AfterTime(tool.ReadLine()), "RARUdivar Main Dialog (Main Dialog) | type 4 | code 8 | data 01FF00");
    control.Close();

    ASSERT_EQ(kill(tool.Pid(), SIGTERM), 0);
    EXPECT_EQ(tool.Wait(), 0);
    EXPECT_TRUE(LoggerGone());
}

TEST_F(EventLogTool, RefusesASecondLogger) {
    PeerProcess first(EVENTLOG_PROGRAM, {std::to_string(instance)});
    ASSERT_NE(first.ReadLine(), "");
    ASSERT_TRUE(Registered(kEventLoggerName));
    PeerProcess second(EVENTLOG_PROGRAM, {std::to_string(instance)});
    EXPECT_EQ(second.Wait(), 1);
    ASSERT_EQ(kill(first.Pid(), SIGINT), 0);
    EXPECT_EQ(first.Wait(), 0);
    PeerProcess noNumber(EVENTLOG_PROGRAM, {"twelve"});
    EXPECT_EQ(noNumber.Wait(), 2);
}
