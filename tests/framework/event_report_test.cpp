// Event records, their delivery to "Main Event Logger", and the reports a
// filter makes when one of its handlers throws.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "framework/CFilterIcpClient.h"
#include "framework/CFrameworkException.h"
#include "framework/CMessageQueueManager.h"
#include "platform/WindowSystem.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"
#include "support/TestFilters.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::EventCollector;
using corvanta::test::PeerProcess;
using corvanta::test::WaitFor;

namespace {

using EventReportTest = test::InstanceTest;

// Throws from its handlers on request: command 14 a framework exception,
// 15 a standard one, 16 an int; FILTER_START when `throwOnStart`.
class ThrowingFilter : public CFilter {
public:
    explicit ThrowingFilter(const std::string& name) { Init(CFilterDescriptor(name, 7, 26, 0, 0, 1, "1.0.0")); }
    ~ThrowingFilter() override { Close(); }
    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind == kIcpCommand && q->code == 14) throw CFrameworkException("bad frame header");
        if (q->kind == kIcpCommand && q->code == 15) throw std::runtime_error("not reported by text");
        if (q->kind == kIcpCommand && q->code == 16) throw 16;
        a->status = kIcpStatusDone;
        return 1;
    }
    int OnStart() override {
        if (throwOnStart) throw CFrameworkException("cannot start");
        return 1;
    }
    bool throwOnStart = false;
};

}  // namespace

TEST(EventRecord, WithoutASourceItIsFromSystem) {
    const uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EventRecord r = MakeEventRecord(kEventPlain, 33, nullptr, data, sizeof data, nullptr);
    EXPECT_EQ(r.valid, 1u);
    EXPECT_EQ(r.eventType, 4u);
    EXPECT_EQ(r.eventCode, 33u);
    EXPECT_STREQ(r.sourceName, "System");
    EXPECT_STREQ(r.sourceDisplayName, "System");
    EXPECT_EQ(r.sourceClass, 0u);
    EXPECT_EQ(r.sourceType, 0u);
    EXPECT_EQ(r.dataLength, 10u);
    EXPECT_EQ(std::memcmp(r.data, data, 10), 0);
    for (size_t i = 10; i < kEventDataSize; ++i) EXPECT_EQ(r.data[i], 0) << i;
    EXPECT_EQ(r.note[0], 0);
    EXPECT_EQ(r.reserved, 0u);
    EXPECT_GE(r.time.year, 2024);
    EXPECT_GE(r.time.month, 1);
    EXPECT_LE(r.time.month, 12);
}

TEST(EventRecord, LongInputIsCutToTheFields) {
    std::string text(150, 't');
    std::string note(80, 'n');
    EventRecord r = MakeEventRecord(kEventNote, 1, nullptr, text.c_str(), uint32_t(text.size() + 1), note.c_str());
    EXPECT_EQ(r.dataLength, 100u);
    // A cut text stays a text.
    EXPECT_EQ(r.data[98], 't');
    EXPECT_EQ(r.data[99], 0);
    EXPECT_EQ(std::string(r.note), std::string(51, 'n'));
    std::vector<uint8_t> bytes(120, 0xAB);
    r = MakeEventRecord(kEventPlain, 1, nullptr, bytes.data(), uint32_t(bytes.size()), nullptr);
    EXPECT_EQ(r.dataLength, 100u);
    EXPECT_EQ(r.data[99], 0xAB);
}

TEST(EventRecord, FormatsAsOneReadableLine) {
    EventRecord r = MakeEventRecord(kEventError, 19, nullptr, "disk full\n", 11, nullptr);
    r.time = platform::SystemTime{2026, 12, 6, 5, 16, 7, 9, 42};
    EXPECT_EQ(FormatEventRecord(r), "2026-12-05 16:07:09.042 | System | type 2 | code 19 | data 6469736B2066756C6C0A00");
    r = MakeEventRecord(kEventNote, 3, nullptr, "plain words", 12, "a note");
    r.time = platform::SystemTime{2026, 1, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(FormatEventRecord(r), "2026-01-02 03:04:05.006 | System | type 3 | code 3 | note a note | plain words");
    r = MakeEventRecord(kEventPlain, 0, nullptr, nullptr, 0, nullptr);
    r.time = platform::SystemTime{2026, 1, 1, 2, 3, 4, 5, 6};
    // Fields without their NUL and a length past the data are still read within bounds.
    std::memset(r.sourceName, 'x', sizeof r.sourceName);
    r.dataLength = 5000;
    std::string line = FormatEventRecord(r);
    EXPECT_NE(line.find(std::string(101, 'x') + " (System) | type 4 | code 0 | data 0000"), std::string::npos);
    EXPECT_EQ(line.size(), line.find(" | data ") + 8 + 200);
}

TEST_F(EventReportTest, WithoutALoggerReportsAreDropped) {
    EXPECT_EQ(ReportEvent(kEventError, 19, nullptr, "x", 2, nullptr), 0);
    EXPECT_EQ(ReportEventError(19, nullptr, "x", 2), 1);
    EXPECT_EQ(ReportEventPlain(19, nullptr, "x", 2), 1);
    EXPECT_EQ(ReportEventNote(19, nullptr, "x", "n"), 0);
}

TEST_F(EventReportTest, AReportReachesTheLoggerWithItsSource) {
    EventCollector logger;
    ASSERT_TRUE(Registered(kEventLoggerName));
    CFilter source;
    source.Init(CFilterDescriptor("Report Source", 9, 8, 0, 0, 1, "1.0.0"));
    source.Settings().SetText("FilterDisplayName", "Shown As");

    EXPECT_EQ(ReportEventNote(5, &source, "something happened", "see log"), 1);
    EXPECT_EQ(ReportEventError(6, nullptr, "ab", 3), 1);
    auto records = logger.Records();
    ASSERT_EQ(records.size(), 2u);
    const EventRecord& r = records[0];
    EXPECT_EQ(r.valid, 1u);
    EXPECT_EQ(r.eventType, uint32_t(kEventNote));
    EXPECT_EQ(r.eventCode, 5u);
    EXPECT_STREQ(r.sourceName, "Report Source");
    EXPECT_STREQ(r.sourceDisplayName, "Shown As");
    EXPECT_EQ(r.sourceClass, 9u);
    EXPECT_EQ(r.sourceType, 8u);
    EXPECT_STREQ(r.note, "see log");
    EXPECT_EQ(r.dataLength, 19u);
    EXPECT_EQ(EventCollector::Text(r), "something happened");
    EXPECT_EQ(records[1].eventType, uint32_t(kEventError));
    EXPECT_STREQ(records[1].sourceName, "System");
    EXPECT_EQ(records[1].dataLength, 3u);
    source.Close();
}

TEST_F(EventReportTest, ExceptionsInHandlersBecomeResultZeroAndAReport) {
    EventCollector logger;
    ThrowingFilter filter("Thrower");
    filter.throwOnStart = true;
    ASSERT_TRUE(Registered("Thrower"));
    ASSERT_TRUE(Registered(kEventLoggerName));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Thrower"), 1);

    EXPECT_EQ(client.SendCommand(14, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(client.SendCommand(15, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(client.SendCommand(16, 0, 0, nullptr, 0), 0);
    // The handler's region locks were given back: the filter still answers.
    EXPECT_EQ(client.SendCommand(17, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(platform::SendMessage(filter.Window(), filter.Queue().Messages()[FILTER_START], 0, 0), 0);

    auto records = logger.Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(EventCollector::Text(records[0]), "bad frame header - IPC 3 - 14");
    EXPECT_EQ(EventCollector::Text(records[1]), "IPC 3 - 15 - Unknown");
    EXPECT_EQ(EventCollector::Text(records[2]), "IPC 3 - 16 - Unknown");
    EXPECT_EQ(EventCollector::Text(records[3]), "cannot start - FilterStartMessage");
    for (const auto& r : records) {
        EXPECT_EQ(r.eventType, uint32_t(kEventError));
        EXPECT_EQ(r.eventCode, 19u);
        EXPECT_STREQ(r.sourceName, "Thrower");
        EXPECT_STREQ(r.sourceDisplayName, "Thrower");
        EXPECT_EQ(r.dataLength, EventCollector::Text(r).size() + 1);
    }
}

TEST_F(EventReportTest, ALoggerInAnotherProcessReceivesTheExactText) {
    PeerProcess logger(FRAMEWORK_PEER, {std::to_string(instance), "logger"});
    ASSERT_EQ(logger.ReadLine(), "ready");
    ASSERT_TRUE(Registered(kEventLoggerName));
    ThrowingFilter filter("Remote Reported");
    ASSERT_TRUE(Registered("Remote Reported"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Remote Reported"), 1);

    EXPECT_EQ(client.SendCommand(14, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(logger.ReadLine(), "event 1 2 19 7 26 30 Remote Reported|Remote Reported||bad frame header - IPC 3 - 14");
    EXPECT_EQ(client.SendCommand(15, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(logger.ReadLine(), "event 1 2 19 7 26 21 Remote Reported|Remote Reported||IPC 3 - 15 - Unknown");
    EXPECT_EQ(ReportEventNote(44, nullptr, "by hand", "noted"), 1);
    EXPECT_EQ(logger.ReadLine(), "event 1 3 44 0 0 8 System|System|noted|by hand");
}
