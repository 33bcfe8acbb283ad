#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"
#include "support/TestFilters.h"

using namespace corvanta;
using corvanta::test::PeerProcess;
using corvanta::test::SettingsFilter;

namespace {

using IcpTest = test::InstanceTest;

// A target on a thread of this process (false) or in another process (true).
class IcpExchangeTest : public IcpTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        IcpTest::SetUp();
        if (GetParam()) {
            peer = std::make_unique<PeerProcess>(FRAMEWORK_PEER,
                                                 std::vector<std::string>{std::to_string(instance), "filter", "Echo"});
            ASSERT_EQ(peer->ReadLine(), "ready");
        } else {
            local = std::make_unique<SettingsFilter>("Echo");
        }
        ASSERT_TRUE(Registered("Echo"));
        ASSERT_EQ(client.Open("Echo"), 1);
    }
    std::unique_ptr<PeerProcess> peer;
    std::unique_ptr<SettingsFilter> local;
    CFilterIcpClient client;
};

}  // namespace

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

TEST_F(IcpTest, OpenFailsCleanlyWithoutATargetOrItsRegions) {
    CFilterIcpClient client;
    EXPECT_EQ(client.Open(nullptr), 0);
    EXPECT_EQ(client.SendCommand(100, 0, 0, nullptr, 0), 0);
    CFilterQueue bare(nullptr);
    bare.Create("No Regions", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(Registered("No Regions"));
    EXPECT_EQ(client.Open("No Regions"), 0);
}

TEST_F(IcpTest, SendIcpCommandCopiesTheAnswerOnlyWhenItFits) {
    SettingsFilter target("One Shot");
    ASSERT_TRUE(Registered("One Shot"));
    char out[8] = {}, tiny[2] = {'-', '-'};
    EXPECT_EQ(SendIcpCommand("One Shot", 100, 0, 0, "xyz", out, sizeof out), 1);
    EXPECT_EQ(std::string(out + 1, 3), "zyx");
    EXPECT_EQ(SendIcpCommand("One Shot", 100, 0, 0, "xyz", tiny, sizeof tiny), 1);
    EXPECT_EQ(tiny[0], '-');
}
