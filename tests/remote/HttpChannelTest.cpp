#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "RemoteTestSupport.h"
#include "framework/CFilterIcpClient.h"
#include "framework/FilterCodes.h"
#include "remote/Hex.h"
#include "remote/HttpRequest.h"
#include "remote/RemoteFilter.h"
#include "remote/RemoteSession.h"

namespace corvanta {
namespace {

using test::Header;
using test::RecordBody;
using Mode = test::TestHttpServer::Mode;

constexpr char kProxyName[] = "Test Recorder Filter";
constexpr uint32_t kAnswerCapacity = 300;

std::string DataText(const std::string& request) {
    const size_t start = request.find("&Data=") + 6;
    return request.substr(start, request.find(' ', start) - start);
}

IcpHeader SentHeader(const std::string& request) {
    IcpHeader header{};
    EXPECT_EQ(sizeof header, HexDecode(DataText(request), reinterpret_cast<uint8_t*>(&header), sizeof header));
    return header;
}

class HttpChannelTest : public test::InstanceTest {
protected:
    void SetUp() override {
        InstanceTest::SetUp();
        SetConsecutiveFailures(0);
        SetFilterServerURL(server.BaseUrl());
        SetSessionId("0123ABCD");
        server.SetAnswer(RecordBody(Header(0), ""));
        ASSERT_EQ(1, proxy.Init(CFilterDescriptor{.name = kProxyName, .classCode = kFilterClassService,
                                                  .typeCode = kFilterTypePlayback, .version = "1.0.0",
                                                  .queryCapacity = 1000, .answerCapacity = kAnswerCapacity}));
        proxy.PublishInfo();
        ASSERT_TRUE(Registered(kProxyName));
        ASSERT_EQ(1, client.Open(kProxyName));
    }
    void TearDown() override { test::ForgetRecorder(); }
    std::string Url() const { return server.BaseUrl() + "/Filter"; }

    test::TestHttpServer server;
    CRemoteFilter proxy;
    CFilterIcpClient client;
};

TEST_F(HttpChannelTest, EveryRecordTravelsWholeAsUpperCaseHex) {
    ASSERT_EQ(1, client.SendCommand(6, 17, 18, nullptr, 0, 19, 20));
    ASSERT_EQ(1, client.SendCommandText(4, 0, "D:\\Archive\\a b.avi"));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(2u, requests.size());

    // Without data a record is its header and the 4 spare bytes.
    const std::string hex = DataText(requests[0]);
    EXPECT_TRUE(hex.size() == 136u && hex.find_first_not_of("0123456789ABCDEF") == std::string::npos) << hex;
    EXPECT_EQ("GET /Filter?Message&SID=0123ABCD&Name=Test%20Recorder%20Filter&Data=" + hex + " HTTP/1.1\r\n"
              "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\nUser-Agent: ZQ\r\nAccept: */*\r\n\r\n",
              requests[0]);
    const IcpHeader sent = SentHeader(requests[0]);
    EXPECT_EQ(std::tuple(uint32_t(kIcpCommand), 6u, 17u, 18u, 19u, 20u, 0u, 1000u),
              std::tuple(sent.kind, sent.code, sent.param1, sent.param2, sent.param3, sent.param4, sent.dataLength,
                         sent.capacity));

    const std::string name = "D:\\Archive\\a b.avi";
    const std::vector<uint8_t> withText = HexDecode(DataText(requests[1]));
    ASSERT_EQ(kIcpOverhead + name.size() + 1, withText.size());
    EXPECT_EQ(name, std::string(reinterpret_cast<const char*>(withText.data()) + kIcpHeaderSize));
}

// One byte over the proxy's own answer region is refused and the answer held stays.
TEST_F(HttpChannelTest, AnswerIsBoundByTheProxysOwnAnswerRegion) {
    server.SetAnswer(RecordBody(Header(kAnswerCapacity), std::string(kAnswerCapacity, 'v')));
    ASSERT_EQ(1, client.SendCommand(6, 0, 0, nullptr, 0));
    server.SetAnswer(RecordBody(Header(kAnswerCapacity + 1), std::string(kAnswerCapacity + 1, 'w')));
    EXPECT_EQ(0, client.SendCommand(6, 0, 0, nullptr, 0));
    const IcpRecord* answer = client.Answer();
    EXPECT_EQ(std::string(kAnswerCapacity, 'v'), std::string(reinterpret_cast<const char*>(answer->data), answer->dataLength));
}

// Its bytes would come from past the query region.
TEST_F(HttpChannelTest, RecordClaimingMoreDataThanItsRegionIsNotSent) {
    std::vector<uint32_t> queryWords((1000 + kIcpOverhead) / 4), answerWords((kAnswerCapacity + kIcpOverhead) / 4);
    auto* query = reinterpret_cast<IcpRecord*>(queryWords.data());
    auto* answer = reinterpret_cast<IcpRecord*>(answerWords.data());
    query->kind = kIcpCommand;
    query->dataLength = 1001;
    EXPECT_EQ(0, proxy.OnIcp(query, answer));
    EXPECT_EQ(0u, server.Requests().size());
    query->dataLength = 1000;
    EXPECT_EQ(1, proxy.OnIcp(query, answer));
    EXPECT_EQ(2 * (1000 + kIcpOverhead), DataText(server.Requests().at(0)).size());
}

// Neither the status nor a redirect is looked at: whatever body comes is the
// answer, cut to the bound, and any answer resets the failure count.
TEST_F(HttpChannelTest, AnyBodyIsTheAnswerUpToTheBoundAndEndsInNul) {
    const size_t bound = 524287;  // the buffer keeps one byte for the NUL
    std::string longBody(bound + 70000, '\0');
    for (size_t i = 0; i < longBody.size(); ++i) longBody[i] = char('a' + i % 26);
    const std::string cases[][3] = {
        {std::string("\x00\x01\xFF", 3), "200 OK", ""},
        {longBody.substr(0, bound), "200 OK", ""},
        {longBody, "200 OK", ""},
        {"after the cut", "200 OK", ""},  // the cut connection is not taken up again by mistake
    };
    for (const auto& [body, status, headers] : cases) {
        server.SetAnswer(body, status, headers);
        SetConsecutiveFailures(4);
        const size_t requestsBefore = server.Requests().size();
        CHttpRequest request;
        ASSERT_EQ(1, request.Get(Url())) << status << ", " << body.size() << " bytes";
        const uint32_t kept = uint32_t(std::min(body.size(), bound));
        EXPECT_EQ(std::tuple(kept, body.size() > kept, 0, requestsBefore + 1, 0),
                  std::tuple(request.ReceivedCount(), request.Truncated(), request.Buffer()[kept], server.Requests().size(),
                             ConsecutiveFailures()));
        EXPECT_EQ(0, std::memcmp(body.data(), request.Buffer(), kept));
    }
}

// Each fault meets a kept-alive connection first, then a fresh one. It counts
// once per request, leaves no bytes behind, and the next answer resets it.
TEST_F(HttpChannelTest, TransportFaultsFailCleanlyAndCountUntilTheNextAnswer) {
    server.SetAnswer(std::string(5000, 'x'));
    for (Mode mode : {Mode::Drop, Mode::ShortBody, Mode::Garbage}) {
        server.SetMode(Mode::Answer);
        ASSERT_EQ(1, CHttpRequest().Get(Url()));
        EXPECT_EQ(0, ConsecutiveFailures());
        server.SetMode(mode);
        for (int32_t failures = 1; failures <= 2; ++failures) {
            CHttpRequest request;
            EXPECT_EQ(0, request.Get(Url())) << int(mode);
            EXPECT_EQ(std::tuple(0u, 0, failures), std::tuple(request.ReceivedCount(), request.Buffer()[0], ConsecutiveFailures()))
                << int(mode);
        }
    }
}

// A request given up by its caller is not sent once the flag is up, ends
// while the recorder stays silent, and counts as no transport failure.
TEST_F(HttpChannelTest, ACancelledRequestEndsWithoutCountingAsAFailure) {
    std::atomic<bool> cancel{true};
    CHttpRequest early;
    early.SetCancel(&cancel);
    EXPECT_EQ(0, early.Get(Url()));
    EXPECT_FALSE(early.Sent());
    EXPECT_TRUE(server.Requests().empty());

    server.SetMode(Mode::Silent);
    cancel = false;
    CHttpRequest waiting;
    waiting.SetCancel(&cancel);
    waiting.SetStallTimeoutSeconds(CHttpRequest::kSlowAnswerStallTimeoutSeconds);
    std::thread canceller([&] {
        while (server.Requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        cancel = true;
    });
    EXPECT_EQ(0, waiting.Get(Url()));
    canceller.join();
    EXPECT_TRUE(waiting.Sent());
    EXPECT_EQ(0u, waiting.ReceivedCount());
    EXPECT_EQ(0, ConsecutiveFailures());
    EXPECT_EQ(0, ConsecutiveStalls());

    server.SetMode(Mode::Answer);
    CHttpRequest after;  // the thread's handle serves plain requests as before
    EXPECT_EQ(1, after.Get(Url()));
    EXPECT_EQ(0, ConsecutiveFailures());
}

TEST_F(HttpChannelTest, EachThreadKeepsItsOwnConnectionAlive) {
    server.SetAnswer("shared");
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                CHttpRequest request;
                answered += request.Get(Url()) == 1 && std::string(request.Text()) == "shared";
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(80, answered.load());
    EXPECT_EQ(4, server.Connections());
}

}  // namespace
}  // namespace corvanta
