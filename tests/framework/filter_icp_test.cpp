// The target side of ICP through a real filter: settings, tagged values and
// the built-in commands, from another thread and from another process.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "stores/CSettingsSnapshot.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"
#include "support/TestFilters.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::PeerProcess;
using corvanta::test::SettingsFilter;
using corvanta::test::WaitFor;

namespace {

class FilterIcpTest : public test::InstanceTest {
protected:
    void OpenOn(const std::string& name) {
        ASSERT_TRUE(Registered(name));
        ASSERT_EQ(client.Open(name.c_str()), 1);
    }
    std::string AnswerText() {
        const IcpRecord* a = client.Answer();
        return std::string(reinterpret_cast<const char*>(a->data), strnlen(reinterpret_cast<const char*>(a->data), a->dataLength));
    }

    CFilterIcpClient client;
};

}  // namespace

TEST_F(FilterIcpTest, GetAndSetOfSettings) {
    SettingsFilter filter("Settings Target");
    OpenOn("Settings Target");

    std::string text;
    EXPECT_EQ(client.GetString("Greeting", &text), 1);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpGetAnswer));
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.Answer()->dataLength, 6u);

    // Init wrote the filter's name as its display name.
    EXPECT_EQ(client.GetString("FilterDisplayName", &text), 1);
    EXPECT_EQ(text, "Settings Target");
    EXPECT_EQ(client.GetString("DisplayName", &text), 1);
    EXPECT_EQ(text, "Unknown");

    EXPECT_EQ(client.GetString("No Such Setting", &text), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    EXPECT_EQ(client.GetString("Empty", &text), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusEmpty);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpGetAnswer));
    EXPECT_EQ(client.Answer()->dataLength, 0u);

    EXPECT_EQ(client.SetString("Greeting", "good morning"), 1);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpSetAnswer));
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    std::string stored;
    filter.Settings().GetText("Greeting", stored);
    EXPECT_EQ(stored, "good morning");

    EXPECT_EQ(client.SetInt("Speed", int32_t(99)), 1);
    int32_t speed = 0;
    EXPECT_EQ(client.GetInt("Speed", &speed), 1);
    EXPECT_EQ(speed, 99);

    EXPECT_EQ(client.SetString("No Such Setting", "x"), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    std::string tooLong(200, 'x');
    EXPECT_EQ(client.SetString("Greeting", tooLong.c_str()), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    filter.Settings().GetText("Greeting", stored);
    EXPECT_EQ(stored, "good morning");
}

TEST_F(FilterIcpTest, SetWhoseLengthsRunPastTheRecordIsRefused) {
    SettingsFilter filter("Bounds Target");
    OpenOn("Bounds Target");
    // Name length and value size that claim more than the data sent.
    const char payload[] = "Greeting\0hi";
    EXPECT_EQ(client.Send(kIcpSet, 0, 9, 5000, payload, sizeof payload), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    EXPECT_EQ(client.Send(kIcpSet, 0, 0, 3, payload, sizeof payload), 0);
    std::string stored;
    filter.Settings().GetText("Greeting", stored);
    EXPECT_EQ(stored, "hello");
}

TEST_F(FilterIcpTest, TaggedValuesAreReadAndMerged) {
    SettingsFilter filter("Tagged Target");
    OpenOn("Tagged Target");

    // One key, as hexadecimal.
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 0, 0, "Level", 6), 1);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpReadTaggedAnswer));
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(AnswerText(), "05000000");
    EXPECT_EQ(client.Answer()->dataLength, 9u);

    // A key the store lacks fails in the status; the hook still answers.
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 0, 0, "Nothing", 8), 1);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);

    // The whole store.
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 1, 0, nullptr, 0), 1);
    EXPECT_EQ(AnswerText().rfind("<Level>{05000000}<Label>{616263", 0), 0u);

    // A merge changes the entries it names and leaves the others.
    const char merge[] = "<Level>{2A000000}<Unknown Key>{01}";
    EXPECT_EQ(client.Send(kIcpWriteTagged, 0, 0, 0, merge, sizeof merge), 1);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpWriteTaggedAnswer));
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.Answer()->dataLength, 0u);
    EXPECT_EQ(*filter.TaggedValues().GetValue("Level").AsUnsignedWord(), 42u);
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 0, 0, "Label", 6), 1);
    EXPECT_EQ(AnswerText().substr(0, 6), "616263");
}

TEST_F(FilterIcpTest, TaggedExportOfChangesOnly) {
    CFilter filter;
    filter.TaggedValues().SetTrackChanges(false);
    filter.TaggedValues().Declare("Quiet", kTaggedUWord, 0, 0);
    filter.TaggedValues().SetWord("Quiet", 3);
    filter.TaggedValues().SetTrackChanges(true);
    ASSERT_EQ(filter.Init(CFilterDescriptor("Changes Target")), 1);
    OpenOn("Changes Target");

    // Nothing changed while tracked: an export of changes only is the empty text.
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 1, 1, nullptr, 0), 1);
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.Answer()->dataLength, 1u);
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 1, 0, nullptr, 0), 1);
    EXPECT_EQ(AnswerText(), "<Quiet>{03000000}");

    filter.TaggedValues().SetWord("Quiet", 4);
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 1, 1, nullptr, 0), 1);
    EXPECT_EQ(AnswerText(), "<Quiet>{04000000}");
    filter.Close();
}

TEST_F(FilterIcpTest, BuiltInCommandsAnswerAsSpecified) {
    SettingsFilter filter("Command Target");
    OpenOn("Command Target");

    // UPDATESET runs the hook.
    EXPECT_NE(client.SendCommand(kCmdUpdateSet, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(filter.updates, 1);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpCommandAnswer));
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.Answer()->code, 0u);
    EXPECT_EQ(client.Answer()->dataLength, 0u);

    // STOPPERCENT answers the hook's result in param1 and returns 0.
    EXPECT_EQ(client.SendCommand(kCmdStopPercent, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpCommandAnswer));
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.Answer()->param1, 1u);

    // GETPERCENT with an inactive block: status 1, no data, result 0.
    EXPECT_EQ(client.SendCommand(kCmdGetPercent, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpCommandAnswer));
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.Answer()->dataLength, 0u);
    EXPECT_EQ(client.Answer()->param1, 0u);

    // Active: numbers two, one, three, four and the text.
    filter.SetProgress(ProgressBlock{true, 10, 20, 30, 40, "copying"});
    EXPECT_EQ(client.SendCommand(kCmdGetPercent, 0, 0, nullptr, 0), 1);
    const IcpRecord* a = client.Answer();
    EXPECT_EQ(a->param1, 20u);
    EXPECT_EQ(a->param2, 10u);
    EXPECT_EQ(a->param3, 30u);
    EXPECT_EQ(a->param4, 40u);
    EXPECT_EQ(a->dataLength, 8u);
    EXPECT_EQ(AnswerText(), "copying");

    // COPYSETTINGS: only the copyable "Speed", serialised, count in param1.
    EXPECT_EQ(client.SendCommand(kCmdCopySettings, 0, 0, nullptr, 0), 1);
    a = client.Answer();
    EXPECT_EQ(a->status, kIcpStatusDone);
    EXPECT_EQ(a->param1, 1u);
    CSettingsSnapshot copied;
    ASSERT_EQ(copied.Deserialize(a->data, a->dataLength, a->param1), 1);
    ASSERT_EQ(copied.Count(), 1u);
    EXPECT_STREQ(copied.RecordAt(0)->name, "Speed");
    int32_t speed = 0;
    std::memcpy(&speed, copied.RecordAt(0)->Value(), 4);
    EXPECT_EQ(speed, 7);
}

TEST_F(FilterIcpTest, PasteSettingsTakesOverTheGivenValues) {
    SettingsFilter filter("Paste Target");
    OpenOn("Paste Target");
    CSettingsStore source;
    source.Declare(SettingDecl{"Speed", kSettingInt, 0, kSettingCopyable});
    source.SetInt("Speed", 55);
    source.Declare(SettingDecl{"Greeting", kSettingText, 101, kSettingCopyable});
    source.SetText("Greeting", "pasted");
    CSettingsSnapshot snapshot;
    snapshot.Collect(source);
    std::vector<uint8_t> records;
    uint32_t count = snapshot.Serialize(records);
    ASSERT_EQ(count, 2u);
    // Three name bytes ahead of the records, as param1 says.
    std::vector<uint8_t> payload = {'a', 'b', 0};
    payload.insert(payload.end(), records.begin(), records.end());

    EXPECT_EQ(client.SendCommand(kCmdPasteSettings, 3, count, payload.data(), uint32_t(payload.size())), 2);
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.Answer()->param1, 2u);
    int32_t speed = 0;
    filter.Settings().GetInt("Speed", speed);
    EXPECT_EQ(speed, 55);
    std::string greeting;
    filter.Settings().GetText("Greeting", greeting);
    EXPECT_EQ(greeting, "pasted");

    // Records that claim more than was sent are refused whole.
    EXPECT_EQ(client.SendCommand(kCmdPasteSettings, 3, 50, payload.data(), uint32_t(payload.size())), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    EXPECT_EQ(client.SendCommand(kCmdPasteSettings, 5000, 1, payload.data(), uint32_t(payload.size())), 0);
}

TEST_F(FilterIcpTest, SettingsEditingKeepsOrRestoresACopy) {
    SettingsFilter filter("Editing Target");
    OpenOn("Editing Target");

    // STOPGUI without editing in progress fails.
    EXPECT_EQ(client.SendCommand(kCmdStopGui, 1, 0, nullptr, 0), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    EXPECT_EQ(filter.updates, 0);

    // Edit, then end without discarding: the edit stays, the answer is -1.
    EXPECT_EQ(client.SendCommand(kCmdStartGui, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(client.SendCommand(kCmdStartGui, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    EXPECT_EQ(client.SetString("Greeting", "edited"), 1);
    EXPECT_EQ(client.SendCommand(kCmdStopGui, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    EXPECT_EQ(client.Answer()->kind, uint32_t(kIcpCommandAnswer));
    EXPECT_EQ(filter.updates, 1);
    std::string text;
    EXPECT_EQ(client.GetString("Greeting", &text), 1);
    EXPECT_EQ(text, "edited");

    // Edit, then discard: the saved copy comes back and the answer is 1.
    EXPECT_EQ(client.SendCommand(kCmdStartGui, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(client.SetString("Greeting", "thrown away"), 1);
    EXPECT_EQ(client.SendCommand(kCmdStopGui, 1, 0, nullptr, 0), 1);
    EXPECT_EQ(client.Answer()->status, kIcpStatusDone);
    EXPECT_EQ(filter.updates, 2);
    EXPECT_EQ(client.GetString("Greeting", &text), 1);
    EXPECT_EQ(text, "edited");
    EXPECT_EQ(filter.Settings().GetFlag(0), 0);
    EXPECT_EQ(filter.Settings().GetFlag(1), 0);
}

namespace {

// Answers its own commands, and one that writes past its answer region.
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

TEST_F(FilterIcpTest, OtherRequestsReachTheHookAndPassThroughSendsEverything) {
    {
        OwnCommands filter(false);
        OpenOn("Own Commands");
        EXPECT_EQ(client.SendCommand(14, 0, 0, nullptr, 0, 5, 6), 1);
        EXPECT_EQ(client.Answer()->param3, 77u);
        EXPECT_EQ(client.Send(20, 3, 0, 0, nullptr, 0), 1);
        std::string text;
        client.GetString("FilterDisplayName", &text);
        EXPECT_EQ(text, "Own Commands");
        EXPECT_EQ(filter.seen, (std::vector<uint32_t>{300014, 2000003}));
        // The info block carries what the descriptor said.
        EXPECT_EQ(client.Info().classCode, 1u);
        EXPECT_EQ(client.Info().typeCode, 2u);
        EXPECT_STREQ(client.Info().version, "2.0.1");
        EXPECT_STREQ(client.Info().name, "Own Commands");
        EXPECT_EQ(client.Info().window, filter.Window());
        client.Close();
    }
    OwnCommands filter(true);
    OpenOn("Own Commands");
    // The hook answers everything, GET included: no settings value comes back.
    std::string text = "unchanged";
    EXPECT_EQ(client.GetString("FilterDisplayName", &text), 1);
    EXPECT_EQ(text, "");
    EXPECT_EQ(client.SendCommand(kCmdGetPercent, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(client.Answer()->param3, 77u);
    EXPECT_EQ(filter.seen, (std::vector<uint32_t>{100000, 365003}));
}

TEST_F(FilterIcpTest, AnAnswerLargerThanItsRegionShowsOutOfRange) {
    test::RecordingMessageBoxes boxes;
    OwnCommands filter(false);
    OpenOn("Own Commands");
    EXPECT_EQ(client.SendCommand(501, 0, 0, nullptr, 0), 1);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(client.SendCommand(500, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Out of range"});
}

TEST_F(FilterIcpTest, SettingsOfAFilterInAnotherProcess) {
    PeerProcess peer(FRAMEWORK_PEER, {std::to_string(instance), "filter", "Peer Settings"});
    ASSERT_EQ(peer.ReadLine(), "ready");
    OpenOn("Peer Settings");
    std::string text;
    EXPECT_EQ(client.GetString("Greeting", &text), 1);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(client.GetString("Missing", &text), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    EXPECT_EQ(client.GetString("Empty", &text), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusEmpty);
    EXPECT_EQ(client.SetString("Greeting", "from afar"), 1);
    EXPECT_EQ(client.GetString("Greeting", &text), 1);
    EXPECT_EQ(text, "from afar");
    const char merge[] = "<Level>{09000000}";
    EXPECT_EQ(client.Send(kIcpWriteTagged, 0, 0, 0, merge, sizeof merge), 1);
    EXPECT_EQ(client.Send(kIcpReadTagged, 0, 0, 0, "Level", 6), 1);
    EXPECT_EQ(AnswerText(), "09000000");
    EXPECT_EQ(client.SendCommand(kCmdStartGui, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(client.SetString("Greeting", "draft"), 1);
    EXPECT_EQ(client.SendCommand(kCmdStopGui, 1, 0, nullptr, 0), 1);
    EXPECT_EQ(client.GetString("Greeting", &text), 1);
    EXPECT_EQ(text, "from afar");
}

TEST_F(FilterIcpTest, AnotherProcessSetsAndGetsSettingsHere) {
    SettingsFilter filter("Local Settings");
    ASSERT_TRUE(Registered("Local Settings"));
    PeerProcess setter(FRAMEWORK_PEER, {std::to_string(instance), "set", "Local Settings", "Greeting", "set remotely"});
    EXPECT_EQ(setter.ReadLine(), "set 1 1");
    std::string stored;
    filter.Settings().GetText("Greeting", stored);
    EXPECT_EQ(stored, "set remotely");
    PeerProcess unknown(FRAMEWORK_PEER, {std::to_string(instance), "set", "Local Settings", "Nope", "x"});
    EXPECT_EQ(unknown.ReadLine(), "set 0 -1");
    PeerProcess getter(FRAMEWORK_PEER, {std::to_string(instance), "get", "Local Settings", "Greeting"});
    EXPECT_EQ(getter.ReadLine(), "get 1 set remotely");
}
