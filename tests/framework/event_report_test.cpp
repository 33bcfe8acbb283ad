#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "framework/CFilter.h"
#include "framework/CFilterIcpClient.h"
#include "framework/CFrameworkException.h"
#include "framework/EventReport.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"

using namespace corvanta;
using corvanta::test::PeerProcess;

namespace {

using EventReportTest = test::InstanceTest;

// Command 14 throws a framework exception, 15 an int.
class ThrowingFilter : public CFilter {
public:
    explicit ThrowingFilter(const std::string& name) { Init(CFilterDescriptor(name, 7, 26, 0, 0, 1, "1.0.0")); }
    ~ThrowingFilter() override { Close(); }
    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind == kIcpCommand && q->code == 14) throw CFrameworkException("bad frame header");
        if (q->kind == kIcpCommand && q->code == 15) throw 15;
        a->status = kIcpStatusDone;
        return 1;
    }
};

}  // namespace

TEST(EventRecord, IsCutToItsFieldsAndFormattedWithinThem) {
    // A cut text stays a text.
    std::string text(150, 't');
    EventRecord r = MakeEventRecord(kEventNote, 1, nullptr, text.c_str(), uint32_t(text.size() + 1),
                                    std::string(80, 'n').c_str());
    EXPECT_EQ(std::tuple(r.dataLength, r.data[98], r.data[99]), std::tuple(100u, 't', 0));
    EXPECT_EQ(std::string(r.note), std::string(51, 'n'));
    r = MakeEventRecord(kEventError, 19, nullptr, "disk full\n", 11, nullptr);
    for (size_t i = 11; i < kEventDataSize; ++i) EXPECT_EQ(r.data[i], 0) << i;
    r.time = platform::SystemTime{2026, 1, 1, 2, 3, 4, 5, 6};  // the day of the week is not printed
    EXPECT_EQ(FormatEventRecord(r), "2026-01-02 03:04:05.006 | System | type 2 | code 19 | data 6469736B2066756C6C0A00");
    // A name without its NUL and a length past the data are read within their fields.
    std::memset(r.sourceName, 'x', sizeof r.sourceName);
    r.dataLength = 5000;
    std::string line = FormatEventRecord(r);
    EXPECT_NE(line.find(std::string(sizeof r.sourceName, 'x') + " (System) | type 2 | code 19 | data 6469"), std::string::npos);
    EXPECT_EQ(line.size(), line.find(" | data ") + 8 + 2 * kEventDataSize);
}

TEST_F(EventReportTest, ReportsAndHandlerExceptionsReachALoggerInAnotherProcess) {
    // Without a logger only the error and plain forms say they were handled.
    EXPECT_EQ(std::tuple(ReportEvent(kEventError, 19, nullptr, "x", 2, nullptr), ReportEventError(19, nullptr, "x", 2),
                         ReportEventPlain(19, nullptr, "x", 2), ReportEventNote(19, nullptr, "x", "n")),
              std::tuple(0, 1, 1, 0));

    PeerProcess logger(FRAMEWORK_PEER, {std::to_string(instance), "logger"});
    ASSERT_EQ(logger.ReadLine(), "ready");
    ASSERT_TRUE(Registered(kEventLoggerName));
    ThrowingFilter filter("Thrower");
    ASSERT_TRUE(Registered("Thrower"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Thrower"), 1);
    const std::pair<uint32_t, const char*> thrown[] = {
        {14, "30 Thrower|Thrower||bad frame header - IPC 3 - 14"},
        {15, "21 Thrower|Thrower||IPC 3 - 15 - Unknown"},
    };
    for (const auto& [code, line] : thrown) {
        EXPECT_EQ(client.SendCommand(code, 0, 0, nullptr, 0), 0);
        EXPECT_EQ(logger.ReadLine(), std::string("event 1 2 19 7 26 ") + line);
    }
    // The handlers' region locks were given back: the filter still answers.
    EXPECT_EQ(client.SendCommand(17, 0, 0, nullptr, 0), 1);

    CFilter source;
    source.Init(CFilterDescriptor("Report Source", 9, 8, 0, 0, 1, "1.0.0"));
    source.Settings().SetText("FilterDisplayName", "Shown As");
    EXPECT_EQ(ReportEventNote(5, &source, "something happened", "see log"), 1);
    EXPECT_EQ(logger.ReadLine(), "event 1 3 5 9 8 19 Report Source|Shown As|see log|something happened");
    EXPECT_EQ(ReportEventPlain(44, nullptr, "by hand", 8), 1);
    EXPECT_EQ(logger.ReadLine(), "event 1 4 44 0 0 8 System|System||by hand");
    source.Close();
}
