#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "stores/CSettingsSnapshot.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"
#include "support/TestFilters.h"

using namespace corvanta;
using corvanta::test::PeerProcess;
using corvanta::test::SettingsFilter;

namespace {

class FilterIcpTest : public test::InstanceTest {
protected:
    void OpenOn(const std::string& name) {
        ASSERT_TRUE(Registered(name));
        ASSERT_EQ(client.Open(name.c_str()), 1);
    }
    const IcpRecord& A() { return *client.Answer(); }
    std::string AnswerText() {
        const char* d = reinterpret_cast<const char*>(A().data);
        return std::string(d, strnlen(d, A().dataLength));
    }
    int Command(uint32_t code, uint32_t param1 = 0) { return client.SendCommand(code, param1, 0, nullptr, 0); }
    // "<result> <status>" of an exchange.
    std::string Said(int result) { return std::to_string(result) + " " + std::to_string(A().status); }
    // "<result> <status> <value>" of a GET.
    std::string Get(const char* name) {
        std::string text;
        return Said(client.GetString(name, &text)) + " " + text;
    }
    CFilterIcpClient client;
};

// A target on a thread of this process (false) or in another process (true).
class IcpExchangeTest : public FilterIcpTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        FilterIcpTest::SetUp();
        if (GetParam()) {
            peer = std::make_unique<PeerProcess>(FRAMEWORK_PEER,
                                                 std::vector<std::string>{std::to_string(instance), "filter", "Echo"});
            ASSERT_EQ(peer->ReadLine(), "ready");
        } else {
            local = std::make_unique<SettingsFilter>("Echo");
        }
        OpenOn("Echo");
    }
    std::unique_ptr<PeerProcess> peer;
    std::unique_ptr<SettingsFilter> local;
};

// Answers its own commands; command 500 claims more data than its answer region holds.
class OwnCommands : public CFilter {
public:
    explicit OwnCommands(bool passThrough) {
        Init(CFilterDescriptor{.name = "Own Commands", .classCode = 1, .typeCode = 2, .version = "2.0.1",
                               .queryCapacity = 1000, .answerCapacity = 64});
        Queue().SetPassThrough(passThrough);
    }
    ~OwnCommands() override { Close(); }
    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        seen.push_back(q->kind * 100000 + q->code);
        if (q->kind == kIcpCommand && q->code == 500) {
            a->dataLength = 65;
            return 1;
        }
        a->status = kIcpStatusDone;
        a->param3 = 77;
        return 1;
    }
    std::vector<uint32_t> seen;
};

}  // namespace

TEST_F(FilterIcpTest, SettingsAndTaggedValuesAreReadWrittenAndEdited) {
    SettingsFilter filter("Target");
    OpenOn("Target");
    EXPECT_EQ(Get("Greeting"), "1 1 hello");
    EXPECT_EQ(std::tuple(A().kind, A().dataLength), std::tuple(uint32_t(kIcpGetAnswer), 6u));
    EXPECT_EQ(Get("No Such Setting"), "0 -1 ");
    EXPECT_EQ(Get("Empty"), "0 -2 ");
    EXPECT_EQ(client.SetString("Greeting", "good morning"), 1);
    // Too long for the setting, or a name length and size that run past the data sent.
    EXPECT_EQ(Said(client.SetString("Greeting", std::string(200, 'x').c_str())), "0 -1");
    const char payload[] = "Greeting\0hi";
    EXPECT_EQ(client.Send(kIcpSet, 0, 9, 5000, payload, sizeof payload), 0);
    EXPECT_EQ(client.Send(kIcpSet, 0, 0, 3, payload, sizeof payload), 0);
    EXPECT_EQ(Get("Greeting"), "1 1 good morning");

    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 0, 0, "Level", 6), 1);
    EXPECT_EQ(std::tuple(A().kind, AnswerText(), A().dataLength), std::tuple(uint32_t(kIcpReadTaggedAnswer), "05000000", 9u));
    // A missing key fails in the status; the hook still answers.
    EXPECT_EQ(Said(client.Send(kIcpReadTagged, 0, 0, 0, "Nothing", 8)), "1 -1");
    // A merge changes the entries it names and leaves the others.
    const char merge[] = "<Level>{2A000000}<Unknown Key>{01}";
    EXPECT_EQ(Said(client.Send(kIcpWriteTagged, 0, 0, 0, merge, sizeof merge)), "1 1");
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 1, 0, nullptr, 0), 1);
    EXPECT_EQ(AnswerText().rfind("<Level>{2A000000}<Label>{616263", 0), 0u);

    // STOPGUI fails without an edit; with one it restores the copy taken by STARTGUI.
    EXPECT_EQ(Said(Command(kCmdStopGui, 1)), "0 -1");
    EXPECT_EQ(Command(kCmdStartGui), 1);
    EXPECT_EQ(client.SetString("Greeting", "thrown away"), 1);
    EXPECT_EQ(Said(Command(kCmdStopGui, 1)), "1 1");
    EXPECT_EQ(Get("Greeting"), "1 1 good morning");
}

TEST_F(FilterIcpTest, BuiltInCommandsGiveTheirAnswers) {
    SettingsFilter filter("Command Target");
    OpenOn("Command Target");
    EXPECT_NE(Command(kCmdUpdateSet), 0);
    EXPECT_EQ(std::tuple(A().kind, A().status, A().dataLength, filter.updates.load()),
              std::tuple(uint32_t(kIcpCommandAnswer), kIcpStatusDone, 0u, 1));
    // Ending an edit applies the settings too.
    EXPECT_EQ(Command(kCmdStartGui), 1);
    EXPECT_EQ(Command(kCmdStopGui, 0), 0);
    EXPECT_EQ(filter.updates, 2);

    // PASTESETTINGS takes over the given values; param1 counts the name bytes ahead of the records.
    CSettingsStore source;
    source.Declare(SettingDecl{"Speed", kSettingInt, 0, kSettingCopyable});
    source.SetInt("Speed", 55);
    source.Declare(SettingDecl{"Greeting", kSettingText, 101, kSettingCopyable});
    source.SetText("Greeting", "pasted");
    CSettingsSnapshot snapshot;
    snapshot.Collect(source);
    std::vector<uint8_t> records, pasted = {'a', 'b', 0};
    ASSERT_EQ(snapshot.Serialize(records), 2u);
    pasted.insert(pasted.end(), records.begin(), records.end());
    const uint32_t size = uint32_t(pasted.size());
    EXPECT_EQ(Said(client.SendCommand(kCmdPasteSettings, 3, 2, pasted.data(), size)), "2 1");
    EXPECT_EQ(A().param1, 2u);
    int32_t speed = 0;
    filter.Settings().GetInt("Speed", speed);
    EXPECT_EQ(speed, 55);
    EXPECT_EQ(Get("Greeting"), "1 1 pasted");
    // Records that claim more than was sent are refused whole.
    EXPECT_EQ(Said(client.SendCommand(kCmdPasteSettings, 3, 50, pasted.data(), size)), "0 -1");
    EXPECT_EQ(client.SendCommand(kCmdPasteSettings, 5000, 1, pasted.data(), size), 0);
}

TEST_F(FilterIcpTest, OtherRequestsReachTheHookAndPassThroughSendsEverything) {
    {
        test::RecordingMessageBoxes boxes;
        OwnCommands filter(false);
        OpenOn("Own Commands");
        EXPECT_EQ(client.SendCommand(14, 0, 0, nullptr, 0, 5, 6), 1);
        EXPECT_EQ(A().param3, 77u);
        EXPECT_EQ(client.Send(20, 3, 0, 0, nullptr, 0), 1);
        std::string text;
        client.GetString("FilterDisplayName", &text);
        EXPECT_EQ(text, "Own Commands");
        EXPECT_EQ(filter.seen, (std::vector<uint32_t>{300014, 2000003}));
        EXPECT_TRUE(boxes.Texts().empty());
        EXPECT_EQ(Command(500), 1);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Out of range"});
        client.Close();
    }
    OwnCommands filter(true);
    OpenOn("Own Commands");
    std::string text = "unchanged";
    EXPECT_EQ(client.GetString("FilterDisplayName", &text), 1);
    EXPECT_EQ(text, "");
    EXPECT_EQ(Command(kCmdGetPercent), 1);
    EXPECT_EQ(A().param3, 77u);
    EXPECT_EQ(filter.seen, (std::vector<uint32_t>{100000, 365003}));
}

TEST_P(IcpExchangeTest, AnswersComeBackIntactUntilTheTargetGoes) {
    std::string payload(10000, 'p');
    payload[0] = 'A';
    ASSERT_EQ(client.SendCommandText(100, 41, payload.c_str()), 1);
    const IcpRecord* a = client.Answer();
    ASSERT_EQ(a->dataLength, 10001u);
    EXPECT_EQ(std::tuple(a->status, a->param1, a->data[0], a->data[1], a->data[10000]),
              std::tuple(kIcpStatusDone, 42u, 0, 'p', 'A'));

    auto said = [a](int result) { return std::tuple(result, a->status, a->dataLength); };
    // A caller's buffer too small for the value gets nothing.
    char small[5] = {'x'};
    uint32_t size = sizeof small;
    EXPECT_EQ(client.GetBytes("Greeting", small, &size), 0);
    EXPECT_EQ(small[0], 'x');
    // With the time-out option the result only says that the target answered.
    EXPECT_EQ(said(client.Send(kIcpGet, 0, 0, 0, "Empty", 6, 0, 0, true)), std::tuple(1, kIcpStatusEmpty, 0u));

    // A full answer region comes back whole; a query larger than its region is refused.
    ASSERT_EQ(said(client.SendCommand(101, 16000, 0, nullptr, 0)), std::tuple(1, kIcpStatusDone, 16000u));
    EXPECT_EQ(a->data[15999], 'z');
    EXPECT_EQ(client.SendCommandText(100, 0, std::string(17000, 'q').c_str()), 0);

    // A reader gets the answer in place, only when the target accepted the command.
    std::vector<std::tuple<uint32_t, char, uint32_t>> reads;
    auto reader = [&](const IcpRecord& r, uint32_t capacity) { reads.emplace_back(r.dataLength, r.data[299], capacity); };
    EXPECT_EQ(client.SendCommandReading(101, 300, 0, reader), 1);
    EXPECT_EQ(client.SendCommandReading(kCmdStopGui, 1, 0, reader), 0);  // refused: no edit to end
    EXPECT_EQ(reads, (std::vector<std::tuple<uint32_t, char, uint32_t>>{{300u, 'z', 16000u}}));

    if (peer)
        peer->Kill();
    else
        local.reset();
    EXPECT_EQ(client.SendCommandText(100, 0, "x"), 0);
    EXPECT_EQ(a->status, 0);
    EXPECT_EQ(client.Open("Echo"), 0);
}

INSTANTIATE_TEST_SUITE_P(OnAThreadOrInAnotherProcess, IcpExchangeTest, ::testing::Bool());

TEST_F(FilterIcpTest, OpenFailsCleanlyWithoutATargetOrItsRegions) {
    EXPECT_EQ(client.Open(nullptr), 0);
    EXPECT_EQ(client.SendCommand(100, 0, 0, nullptr, 0), 0);
    CFilterQueue bare(nullptr);
    bare.Create("No Regions", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(Registered("No Regions"));
    EXPECT_EQ(client.Open("No Regions"), 0);
}

TEST_F(FilterIcpTest, SendIcpCommandCopiesTheAnswerOnlyWhenItFits) {
    SettingsFilter target("One Shot");
    ASSERT_TRUE(Registered("One Shot"));
    char out[8] = {}, tiny[2] = {'-', '-'};
    EXPECT_EQ(SendIcpCommand("One Shot", 100, 0, 0, "xyz", out, sizeof out), 1);
    EXPECT_EQ(std::string(out + 1, 3), "zyx");
    EXPECT_EQ(SendIcpCommand("One Shot", 100, 0, 0, "xyz", tiny, sizeof tiny), 1);
    EXPECT_EQ(tiny[0], '-');
}
