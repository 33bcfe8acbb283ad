#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "framework/CFilterIcpClient.h"
#include "framework/CMessageQueueManager.h"
#include "framework/FilterMessages.h"
#include "platform/WindowSystem.h"
#include "support/IcpTestTarget.h"
#include "support/InstanceTest.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"

using namespace corvanta;
using corvanta::test::IcpTestTarget;
using corvanta::test::PeerProcess;
using corvanta::test::WaitFor;

namespace {

using IcpTest = test::InstanceTest;

}  // namespace

TEST(FilterMessages, DisplayNamesAndRequestNames) {
    FilterMessageNumbers n;
    EXPECT_STREQ(n.DisplayName(n[FILTER_START]), "FilterStartMessage");
    EXPECT_STREQ(n.DisplayName(n[FILTER_ICP]), "FilterICPMessage");
    EXPECT_STREQ(n.DisplayName(n[PIN_CONNECTION_REQUEST]), "PINConnectionReqMessage");
    EXPECT_STREQ(n.DisplayName(n[PIN_FORCED_RECONNECTION]), "ForcedConnection");
    EXPECT_STREQ(n.DisplayName(12345), "Unknown MSG");
    EXPECT_EQ(n[FILTER_STOP], platform::RegisterWindowMessage("FILTER_STOP"));
    EXPECT_EQ(IcpRequestName(1, 0), "GET");
    EXPECT_EQ(IcpRequestName(2, 0), "SET");
    EXPECT_EQ(IcpRequestName(3, 65000), "STARTGUI");
    EXPECT_EQ(IcpRequestName(3, 65006), "PASTESETTINGS");
    EXPECT_EQ(IcpRequestName(3, 14), "IPC 3 - 14");
    EXPECT_EQ(IcpRequestName(8, 0), "IPC 8 - 0");
}

TEST_F(IcpTest, ExchangeWithATargetOnAnotherThread) {
    IcpTestTarget target("Echo Filter", true);
    ASSERT_TRUE(Registered("Echo Filter"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Echo Filter"), 1);
    EXPECT_EQ(client.SendCommandText(100, 9, "abc"), 1);
    const IcpRecord* a = client.Answer();
    EXPECT_EQ(a->status, kIcpStatusDone);
    EXPECT_EQ(a->param1, 10u);
    ASSERT_EQ(a->dataLength, 4u);
    EXPECT_EQ(std::memcmp(a->data, "\0cba", 4), 0);
    EXPECT_NE(target.HandledOn(), std::this_thread::get_id());
}

TEST_F(IcpTest, GetAnswersValueEmptyAndMissing) {
    IcpTestTarget target("Getter", true);
    ASSERT_TRUE(Registered("Getter"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Getter"), 1);
    std::string v;
    EXPECT_EQ(client.GetString("answer", &v), 1);
    EXPECT_EQ(v, "42");
    EXPECT_EQ(client.GetString("empty", &v), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusEmpty);
    EXPECT_EQ(client.Answer()->dataLength, 0u);
    EXPECT_EQ(client.GetString("nothing", &v), 0);
    EXPECT_EQ(client.Answer()->status, kIcpStatusFailed);
    char small[2] = {'x', 'x'};
    uint32_t size = 2;
    EXPECT_EQ(client.GetBytes("answer", small, &size), 0);
    EXPECT_EQ(small[0], 'x');
    size = 0;
    char any[8];
    EXPECT_EQ(client.GetBytes("answer", any, &size), 1);
    EXPECT_EQ(size, 3u);
}

TEST_F(IcpTest, TwoClientsInTwoThreadsEachGetTheirOwnAnswer) {
    IcpTestTarget target("Shared Target", true);
    ASSERT_TRUE(Registered("Shared Target"));
    auto run = [](char letter) {
        CFilterIcpClient client;
        if (!client.Open("Shared Target")) return -1;
        std::string text(200, letter);
        int good = 0;
        for (int i = 0; i < 300; ++i) {
            text[0] = char('0' + i % 10);
            if (client.SendCommandText(100, uint32_t(i), text.c_str()) != 1) continue;
            const IcpRecord* a = client.Answer();
            std::string back(reinterpret_cast<const char*>(a->data) + 1, a->dataLength - 1);
            good += a->param1 == uint32_t(i + 1) && back == std::string(text.rbegin(), text.rend());
        }
        return good;
    };
    auto a = std::async(std::launch::async, run, 'a');
    auto b = std::async(std::launch::async, run, 'b');
    EXPECT_EQ(a.get(), 300);
    EXPECT_EQ(b.get(), 300);
}

TEST_F(IcpTest, SendWithTheTimeOutOptionAnswersOneWhenHandled) {
    IcpTestTarget target("Timed", true);
    ASSERT_TRUE(Registered("Timed"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Timed"), 1);
    EXPECT_EQ(client.SendCommand(101, 5, 0, nullptr, 0, 0, 0, true), 1);
    EXPECT_EQ(client.Answer()->dataLength, 5u);
}

TEST_F(IcpTest, AnswerDataIsCopiedWholeAndBoundedByTheRegion) {
    IcpTestTarget target("Big Answer", true, 4096);
    ASSERT_TRUE(Registered("Big Answer"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Big Answer"), 1);
    ASSERT_EQ(client.SendCommand(101, 4096, 0, nullptr, 0), 1);
    const IcpRecord* a = client.Answer();
    ASSERT_EQ(a->dataLength, 4096u);
    EXPECT_EQ(a->capacity, 4096u);
    EXPECT_EQ(a->data[0], 'z');
    EXPECT_EQ(a->data[4095], 'z');
    std::string tooLong(5000, 'q');
    EXPECT_EQ(client.SendCommandText(100, 0, tooLong.c_str()), 0);
}

TEST_F(IcpTest, OpenFailsCleanly) {
    CFilterIcpClient client;
    EXPECT_EQ(client.Open("Not Registered"), 0);
    EXPECT_EQ(client.IsOpen(), 0);
    EXPECT_EQ(client.Open(nullptr), 0);
    EXPECT_EQ(client.SendCommand(100, 0, 0, nullptr, 0), 0);
    // A queue without ICP regions is found but cannot be opened.
    CFilterQueue bare(nullptr);
    bare.Create("No Regions", kFilterQueue, 0, true, 0);
    ASSERT_TRUE(Registered("No Regions"));
    EXPECT_EQ(client.Open("No Regions"), 0);
    EXPECT_EQ(client.IsOpen(), 0);
}

TEST_F(IcpTest, TargetThatGoesAwayFailsOpenAndSend) {
    auto target = std::make_unique<IcpTestTarget>("Leaving", true);
    ASSERT_TRUE(Registered("Leaving"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Leaving"), 1);
    target.reset();
    EXPECT_EQ(client.SendCommandText(100, 0, "x"), 0);
    EXPECT_EQ(client.Answer()->status, 0);
    EXPECT_EQ(client.Open("Leaving"), 0);
}

TEST_F(IcpTest, SendIcpCommandCopiesTheAnswerWhenItFits) {
    IcpTestTarget target("One Shot", true);
    ASSERT_TRUE(Registered("One Shot"));
    char out[8] = {};
    EXPECT_EQ(SendIcpCommand("One Shot", 100, 0, 0, "xyz", out, sizeof out), 1);
    EXPECT_EQ(std::string(out + 1, 3), "zyx");
    char tiny[2] = {'-', '-'};
    EXPECT_EQ(SendIcpCommand("One Shot", 100, 0, 0, "xyz", tiny, sizeof tiny), 1);
    EXPECT_EQ(tiny[0], '-');
    EXPECT_EQ(SendIcpCommand("Nobody", 100, 0, 0, "xyz", out, sizeof out), 0);
    EXPECT_EQ(target.Handled(), 2);
}

TEST_F(IcpTest, ExchangeWithATargetInAnotherProcess) {
    PeerProcess peer(FRAMEWORK_PEER, {std::to_string(instance), "target", "Remote Echo"});
    ASSERT_EQ(peer.ReadLine().rfind("ready", 0), 0u);
    ASSERT_TRUE(Registered("Remote Echo"));
    CFilterIcpClient client;
    ASSERT_EQ(client.Open("Remote Echo"), 1);
    std::string v;
    EXPECT_EQ(client.GetString("answer", &v), 1);
    EXPECT_EQ(v, "42");
    std::string payload(10000, 'p');
    payload[0] = 'A';
    ASSERT_EQ(client.SendCommandText(100, 41, payload.c_str()), 1);
    const IcpRecord* a = client.Answer();
    EXPECT_EQ(a->param1, 42u);
    ASSERT_EQ(a->dataLength, 10001u);
    EXPECT_EQ(a->data[10000], 'A');
    EXPECT_EQ(a->data[0], 0);
    peer.Kill();
    EXPECT_EQ(client.SendCommandText(100, 0, "x"), 0);
}

TEST_F(IcpTest, ClientInAnotherProcessReachesATargetHere) {
    IcpTestTarget target("Local Target", false);
    ASSERT_TRUE(Registered("Local Target"));
    PeerProcess peer(FRAMEWORK_PEER, {std::to_string(instance), "get", "Local Target", "answer"});
    // This thread owns the target's window: serve it until the peer has its answer.
    std::string line;
    std::thread reader([&] { line = peer.ReadLine(); });
    WaitFor([&] {
        platform::PumpMessages();
        return target.Handled() > 0;
    }, 5000);
    reader.join();
    EXPECT_EQ(line, "get 1 42");
}

TEST_F(IcpTest, RegionAndMutexSharedWithAnotherProcess) {
    std::string name = "Shared Region " + std::to_string(instance);
    PeerProcess peer(FRAMEWORK_PEER, {std::to_string(instance), "lock", name});
    ASSERT_EQ(peer.ReadLine(), "ready");
    CSMemory region;
    int existed = 0;
    ASSERT_EQ(region.Create(64, name.c_str(), &existed), 1);
    EXPECT_EQ(existed, 1);
    EXPECT_EQ(static_cast<char*>(region.Data())[0], 'p');
    CNamedMutex held;
    ASSERT_EQ(held.Create((name + " held").c_str(), &existed), 1);
    EXPECT_EQ(existed, 1);
    EXPECT_EQ(held.Lock(50), 0);
    peer.Kill();
    // The holder died: the first lock reports it, the mutex is usable after.
    EXPECT_EQ(held.Lock(1000), 0);
    EXPECT_EQ(held.Lock(1000), 1);
    held.Unlock();
}
