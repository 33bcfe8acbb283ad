#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "stores/CSettingsSnapshot.h"
#include "support/InstanceTest.h"
#include "support/TestFilters.h"

using namespace corvanta;
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
    static std::string Text(CFilter& f, const char* name) {
        std::string s;
        f.Settings().GetText(name, s);
        return s;
    }
    CFilterIcpClient client;
};

// Answers its own commands; command 500 claims more data than its answer region holds.
class OwnCommands : public CFilter {
public:
    explicit OwnCommands(bool passThrough) {
        Init(CFilterDescriptor("Own Commands", 1, 2, 0, 0, 1, "2.0.1", 1000, 64));
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

    // GETPERCENT: numbers two, one, three, four and the text.
    filter.SetProgress(ProgressBlock{true, 10, 20, 30, 40, "copying"});
    EXPECT_EQ(Command(kCmdGetPercent), 1);
    EXPECT_EQ(std::tuple(A().param1, A().param2, A().param3, A().param4, A().dataLength, AnswerText()),
              std::tuple(20u, 10u, 30u, 40u, 8u, "copying"));

    // COPYSETTINGS: only the copyable "Speed", serialised, its count in param1.
    EXPECT_EQ(Command(kCmdCopySettings), 1);
    CSettingsSnapshot copied;
    ASSERT_EQ(copied.Deserialize(A().data, A().dataLength, A().param1), 1);
    ASSERT_EQ(copied.Count(), 1u);
    EXPECT_STREQ(copied.RecordAt(0)->name, "Speed");
    int32_t speed = 0;
    std::memcpy(&speed, copied.RecordAt(0)->Value(), 4);
    EXPECT_EQ(speed, 7);

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
    filter.Settings().GetInt("Speed", speed);
    EXPECT_EQ(speed, 55);
    EXPECT_EQ(Text(filter, "Greeting"), "pasted");
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
        // The info block the client read carries the descriptor.
        EXPECT_EQ(std::tuple(client.Info().classCode, std::string(client.Info().version), client.Info().window),
                  std::tuple(1u, "2.0.1", filter.Window()));
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
