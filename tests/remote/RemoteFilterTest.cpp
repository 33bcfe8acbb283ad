// A proxy against a raw loopback server: the exact request it sends, how it
// takes the answer, and how it fails.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "RemoteTestSupport.h"
#include "TestHttpServer.h"
#include "imaging/JpegTestSupport.h"
#include "remote/Hex.h"
#include "remote/RemotePlaybackManager.h"

namespace corvanta {
namespace {

using test::Registered;
using test::TestHttpServer;

constexpr char kProxyName[] = "Test Recorder Filter";

// What the query string's Data= carries, decoded.
std::vector<uint8_t> DataOf(const std::string& request) {
    const size_t start = request.find("&Data=");
    const size_t end = request.find(' ', start);
    if (start == std::string::npos || end == std::string::npos) {
        ADD_FAILURE() << "no Data= in " << request;
        return {};
    }
    return HexDecode(std::string_view(request).substr(start + 6, end - start - 6));
}

std::string DataText(const std::string& request) {
    const size_t start = request.find("&Data=");
    const size_t end = request.find(' ', start);
    return start == std::string::npos ? std::string() : request.substr(start + 6, end - start - 6);
}

IcpHeader AnswerHeader(uint32_t dataLength, uint32_t encoding) {
    IcpHeader header{};
    header.status = kIcpStatusDone;
    header.kind = kIcpCommandAnswer;
    header.param1 = 3;
    header.param3 = 40;
    header.dataLength = dataLength;
    header.capacity = 123456789;
    header.encoding = encoding;
    return header;
}

class RemoteFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseOwnInstance();
        ASSERT_EQ(1, manager.Start());
        SetConsecutiveFailures(0);
        SetFilterServerURL(server.BaseUrl());
        SetSessionId("0123ABCD");
        ASSERT_EQ(1, proxy.Init(CFilterDescriptor(kProxyName, 8, 24, 0, 0, 1, "1.0.0", 1000, kAnswerCapacity)));
        proxy.PublishInfo();
        ASSERT_TRUE(Registered(kProxyName));
        ASSERT_EQ(1, client.Open(kProxyName));
    }
    void TearDown() override {
        SetFilterServerURL("");
        SetSessionId("");
        SetConsecutiveFailures(0);
    }

    // The answer the client holds, header and data.
    std::vector<uint8_t> Held() const {
        const auto* bytes = reinterpret_cast<const uint8_t*>(client.Answer());
        return std::vector<uint8_t>(bytes, bytes + kIcpHeaderSize + client.Answer()->dataLength);
    }
    // Makes the client hold a known plain answer.
    void HoldPlainAnswer() {
        server.SetAnswer(test::RecordBody(AnswerHeader(6, kIcpEncodingRaw), "before"));
        ASSERT_EQ(1, client.SendCommand(5, 0, 0, nullptr, 0));
        ASSERT_EQ("before", test::AnswerData(client.Answer()));
    }

    static constexpr uint32_t kAnswerCapacity = 300;
    TestHttpServer server;
    CMessageQueueManager manager;
    CRemoteFilter proxy;
    CFilterIcpClient client;
};

TEST_F(RemoteFilterTest, RequestCarriesSessionNameAndTheWholeRecordInHex) {
    server.SetAnswer(test::RecordBody(AnswerHeader(0, kIcpEncodingRaw), ""));
    ASSERT_EQ(1, client.SendCommand(6, 17, 18, nullptr, 0, 19, 20));
    ASSERT_EQ(1u, server.Requests().size());
    const std::string request = server.Requests()[0];
    EXPECT_EQ(0u, request.find("GET /Filter?Message&SID=0123ABCD&Name=Test%20Recorder%20Filter&Data="));
    EXPECT_NE(std::string::npos, request.find(" HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                                              "\r\nUser-Agent: ZQ\r\nAccept: */*\r\n\r\n"));

    // A record without data is its 68 bytes: header and the 4 spare bytes.
    const std::string hex = DataText(request);
    EXPECT_EQ(136u, hex.size());
    EXPECT_EQ(std::string::npos, hex.find_first_not_of("0123456789ABCDEF"));
    const std::vector<uint8_t> record = DataOf(request);
    ASSERT_EQ(kIcpOverhead, record.size());
    IcpHeader sent;
    std::memcpy(&sent, record.data(), sizeof sent);
    EXPECT_EQ(uint32_t(kIcpCommand), sent.kind);
    EXPECT_EQ(6u, sent.code);
    EXPECT_EQ(17u, sent.param1);
    EXPECT_EQ(18u, sent.param2);
    EXPECT_EQ(19u, sent.param3);
    EXPECT_EQ(20u, sent.param4);
    EXPECT_EQ(0u, sent.dataLength);
    EXPECT_EQ(1000u, sent.capacity);
}

TEST_F(RemoteFilterTest, DataTravelsAfterTheHeader) {
    server.SetAnswer(test::RecordBody(AnswerHeader(0, kIcpEncodingRaw), ""));
    ASSERT_EQ(1, client.SendCommandText(4, 0, "D:\\Archive\\a b.avi"));
    const std::vector<uint8_t> record = DataOf(server.Requests()[0]);
    const std::string name = "D:\\Archive\\a b.avi";
    ASSERT_EQ(kIcpOverhead + name.size() + 1, record.size());
    EXPECT_EQ(name, std::string(reinterpret_cast<const char*>(record.data()) + kIcpHeaderSize));
    EXPECT_EQ(2 * record.size(), DataText(server.Requests()[0]).size());
}

TEST_F(RemoteFilterTest, SettingsRequestsAndBuiltInCommandsGoToTheRecorderToo) {
    server.SetAnswer(test::RecordBody(AnswerHeader(5, kIcpEncodingRaw), "fromR"));
    ASSERT_EQ(1, client.Send(kIcpGet, 0, 0, 0, "FilterDisplayName", 18));
    EXPECT_EQ("fromR", test::AnswerData(client.Answer()));
    ASSERT_EQ(1, client.SendCommand(kCmdGetPercent, 0, 0, nullptr, 0));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_GE(requests.size(), 2u);
    IcpHeader get;
    std::memcpy(&get, DataOf(requests[requests.size() - 2]).data(), sizeof get);
    EXPECT_EQ(uint32_t(kIcpGet), get.kind);
    IcpHeader percent;
    std::memcpy(&percent, DataOf(requests.back()).data(), sizeof percent);
    EXPECT_EQ(uint32_t(kCmdGetPercent), percent.code);
}

TEST_F(RemoteFilterTest, TwoByTwoPictureBecomesTwelveBytesWithEncodingTwo) {
    test::EncodeOptions options;
    options.width = 2;
    options.height = 2;
    // One colour everywhere (blue 200, green 30, red 90), so every pixel must come back close to it.
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 4; ++i) pixels.insert(pixels.end(), {200, 30, 90});
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(options, pixels);
    server.SetAnswer(test::RecordBody(AnswerHeader(uint32_t(jpeg.size()), kIcpEncodingPicture),
                                      std::string(jpeg.begin(), jpeg.end())));
    ASSERT_EQ(1, client.SendCommand(6, 0, 0, nullptr, 0));
    const IcpRecord* answer = client.Answer();
    EXPECT_EQ(12u, answer->dataLength);
    EXPECT_EQ(kIcpEncodingPicture, answer->encoding);
    EXPECT_EQ(40u, answer->param3);
    EXPECT_EQ(3u, answer->param1);
    EXPECT_EQ(kAnswerCapacity, answer->capacity);
    for (int i = 0; i < 12; ++i) {
        EXPECT_NEAR(pixels[i], answer->data[i], 6) << i;
    }
}

TEST_F(RemoteFilterTest, FailedRequestsLeaveTheAnswerAsItWas) {
    ASSERT_NO_FATAL_FAILURE(HoldPlainAnswer());
    const std::vector<uint8_t> before = Held();
    struct Case {
        std::string body;
        const char* what;
    };
    std::string shortRecord = test::RecordBody(AnswerHeader(50, kIcpEncodingRaw), std::string(50, 'q'));
    shortRecord.resize(kIcpHeaderSize + 20);
    for (const Case& c : {Case{"", "empty body"}, Case{"<html>not found</html>", "error page"},
                          Case{shortRecord, "shorter than its header says"},
                          Case{test::RecordBody(AnswerHeader(301, kIcpEncodingRaw), std::string(301, 'w')),
                               "larger than the answer region"},
                          Case{test::RecordBody(AnswerHeader(30, kIcpEncodingPicture), std::string(30, 'p')),
                               "picture that is no JPEG"}}) {
        server.SetAnswer(c.body);
        EXPECT_EQ(0, client.SendCommand(5, 0, 0, nullptr, 0)) << c.what;
        EXPECT_EQ(before, Held()) << c.what;
    }
    EXPECT_EQ(0, ConsecutiveFailures());

    server.SetMode(TestHttpServer::Mode::Drop);
    EXPECT_EQ(0, client.SendCommand(5, 0, 0, nullptr, 0));
    EXPECT_EQ(before, Held());
    EXPECT_EQ(1, ConsecutiveFailures());
}

TEST_F(RemoteFilterTest, PictureLargerThanTheAnswerRegionIsRefused) {
    ASSERT_NO_FATAL_FAILURE(HoldPlainAnswer());
    const std::vector<uint8_t> before = Held();
    test::EncodeOptions options;
    options.width = 11;
    options.height = 10;  // 330 bytes once decoded, the region holds 300
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(options, test::TestPattern(11, 10));
    server.SetAnswer(test::RecordBody(AnswerHeader(uint32_t(jpeg.size()), kIcpEncodingPicture),
                                      std::string(jpeg.begin(), jpeg.end())));
    EXPECT_EQ(0, client.SendCommand(6, 0, 0, nullptr, 0));
    EXPECT_EQ(before, Held());
}

TEST_F(RemoteFilterTest, BaseUrlThatIsNotHttpFailsWithoutCountingOrConnecting) {
    const std::string hostAndPort = "127.0.0.1:" + std::to_string(server.Port());
    SetConsecutiveFailures(2);
    for (const std::string& base : {"https://" + hostAndPort, "ftp://" + hostAndPort, hostAndPort, std::string()}) {
        SetFilterServerURL(base);
        EXPECT_EQ(0, client.SendCommand(6, 0, 0, nullptr, 0)) << base;
        EXPECT_EQ(2, ConsecutiveFailures()) << base;
    }
    EXPECT_EQ(0, server.Connections());
}

TEST_F(RemoteFilterTest, FailuresAgainstAClosedPortShortenTheNextConnectTimeOut) {
    SetFilterServerURL("http://127.0.0.1:" + std::to_string(test::ClosedPort()));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(2000u, CHttpRequest().ConnectTimeoutMs()) << i;
        EXPECT_EQ(0, client.SendCommand(6, 0, 0, nullptr, 0));
        EXPECT_EQ(i, ConsecutiveFailures());
    }
    // The fourth request is made with 100 ms.
    EXPECT_EQ(100u, CHttpRequest().ConnectTimeoutMs());
    EXPECT_EQ(0, client.SendCommand(6, 0, 0, nullptr, 0));
    EXPECT_EQ(4, ConsecutiveFailures());

    SetFilterServerURL(server.BaseUrl());
    server.SetAnswer(test::RecordBody(AnswerHeader(0, kIcpEncodingRaw), ""));
    EXPECT_EQ(1, client.SendCommand(6, 0, 0, nullptr, 0));
    EXPECT_EQ(0, ConsecutiveFailures());
    EXPECT_EQ(2000u, CHttpRequest().ConnectTimeoutMs());
}

TEST_F(RemoteFilterTest, RecordClaimingMoreDataThanItsRegionIsNotSent) {
    std::vector<uint32_t> words((1000 + kIcpOverhead) / 4 + 1, 0);
    auto* query = reinterpret_cast<IcpRecord*>(words.data());
    query->kind = kIcpCommand;
    query->dataLength = 1001;
    std::vector<uint32_t> answerWords((kAnswerCapacity + kIcpOverhead) / 4 + 1, 0);
    auto* answer = reinterpret_cast<IcpRecord*>(answerWords.data());
    answer->capacity = kAnswerCapacity;
    EXPECT_EQ(0, proxy.OnIcp(query, answer));
    EXPECT_EQ(0u, server.Requests().size());
    EXPECT_EQ(0u, answer->dataLength);

    query->dataLength = 1000;
    server.SetAnswer(test::RecordBody(AnswerHeader(0, kIcpEncodingRaw), ""));
    EXPECT_EQ(1, proxy.OnIcp(query, answer));
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(2 * (1000 + kIcpOverhead), DataText(server.Requests()[0]).size());
}

TEST(RemoteSession, TextsAreProcessWideAndSafeToUseFromManyThreads) {
    SetFilterServerURL("http://a");
    SetSessionId("1");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i) {
                SetFilterServerURL(t % 2 ? "http://recorder-one:8080" : "http://recorder-two");
                SetSessionId(std::string(t + 1, 'S'));
                const std::string url = FilterServerURL();
                EXPECT_TRUE(url == "http://recorder-one:8080" || url == "http://recorder-two") << url;
                EXPECT_EQ(std::string::npos, SessionId().find_first_not_of('S'));
            }
        });
    }
    for (std::thread& t : threads) t.join();
    SetFilterServerURL("http://x:81");
    SetSessionId("ABC");
    EXPECT_EQ("http://x:81", FilterServerURL());
    EXPECT_EQ("ABC", SessionId());

    std::vector<uint8_t> record(kIcpOverhead + 2, 0);
    auto* query = reinterpret_cast<IcpRecord*>(record.data());
    query->dataLength = 2;
    query->data[0] = 0xAB;
    std::string url = "kept:";
    ASSERT_EQ(1, AppendMessageRequestUrl(url, "AVIPlayback Manager", query, 2));
    EXPECT_EQ("kept:http://x:81/Filter?Message&SID=ABC&Name=AVIPlayback Manager&Data=" + HexEncode(record.data(), 70),
              url);
    url = "kept:";
    EXPECT_EQ(0, AppendMessageRequestUrl(url, "AVIPlayback Manager", query, 1));
    EXPECT_EQ("kept:", url);
    SetFilterServerURL("");
    SetSessionId("");
}

TEST(RecorderInterface, FrameSourceNamesHaveBlanksForBackslashes) {
    EXPECT_EQ("D: Archive CAM01 2026 12 05 083000.avi", FrameSourceName("D:\\Archive\\CAM01\\2026\\12\\05\\083000.avi"));
    EXPECT_EQ("CAM02MEMORY", FrameSourceName("CAM02MEMORY"));
    EXPECT_EQ("  ", FrameSourceName("\\\\"));
    EXPECT_EQ(1600u * 1200 * 3, kFrameAnswerCapacity);
    const CFilterDescriptor stream = CRemoteStreamFilter::MakeDescriptor("C:\\a.avi");
    EXPECT_EQ("C: a.avi", stream.name);
    EXPECT_EQ(8u, stream.classCode);
    EXPECT_EQ(24u, stream.typeCode);
    EXPECT_EQ(64000u, stream.queryCapacity);
    EXPECT_EQ(5760000u, stream.answerCapacity);
    EXPECT_EQ(200u, stream.spareNumber);
    EXPECT_EQ("1.0.0", stream.version);
    const CFilterDescriptor archive = CRemoteArchiveQuery::MakeDescriptor();
    EXPECT_EQ("AVIArchive Query", archive.name);
    EXPECT_EQ(9u, archive.classCode);
    EXPECT_EQ(8u, archive.typeCode);
    EXPECT_EQ(1024000u, archive.queryCapacity);
    EXPECT_EQ(4096000u, archive.answerCapacity);
    EXPECT_EQ(1u, archive.ownThread);
    const CFilterDescriptor playback = CRemotePlaybackManager::MakeDescriptor();
    EXPECT_EQ("AVIPlayback Manager", playback.name);
    EXPECT_EQ(1u, playback.classCode);
    EXPECT_EQ(24u, playback.typeCode);
    EXPECT_EQ(64000u, playback.queryCapacity);
    EXPECT_EQ(64000u, playback.answerCapacity);
}

}  // namespace
}  // namespace corvanta
