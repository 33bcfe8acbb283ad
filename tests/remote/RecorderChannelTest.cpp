// Walking the archive through the query proxy is the archive tree tests' part.

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <stdexcept>

#include "RemoteTestSupport.h"
#include "framework/CFilterIcpClient.h"
#include "imaging/JpegImage.h"
#include "recorder/RecorderServer.h"
#include "remote/HttpRequest.h"
#include "remote/RecorderInterface.h"
#include "remote/RemotePlaybackManager.h"
#include "remote/RemoteSession.h"

namespace corvanta {
namespace {

bool Gone(const std::string& name) {
    return test::WaitFor([&] { return CMessageQueueManager::FindQueue(name) == 0; }, 3000);
}

class RecorderChannelTest : public test::InstanceTest {
protected:
    void SetUp() override {
        InstanceTest::SetUp();
        SetConsecutiveFailures(0);
        server = std::make_unique<recorder::RecorderServer>(recorder::RecorderConfig{
            .port = 0, .seed = 7, .anchorDate = recorder::CivilDate{2024, 3, 2}, .frames = {.readAhead = 2},
            .folder = {}, .sessions = {}, .faults = {}, .log = [](const std::string&) {}});
        ASSERT_TRUE(server->start());
        SetFilterServerURL(server->baseUrl());
        // Log in through a plain proxy of the privilege filter, as the control does.
        CRemoteFilter privilege;
        CFilterIcpClient client;
        ASSERT_NO_FATAL_FAILURE(Start(privilege, {kUserPrivilegeFilterName, 8, 17, 0, 0, 1, "1.0.0", 64000, 64000}, client));
        LoginRecord login{"demo", "demo", {}, 1};
        std::strcpy(login.userKind, kLoginUserKind);
        ASSERT_EQ(1, client.SendCommand(kPrivilegeLogIn, 0, 0, &login, sizeof login));
        const char* id = reinterpret_cast<const char*>(client.Answer()->data);
        SetSessionId(std::string(id, strnlen(id, client.Answer()->dataLength)));
        ASSERT_FALSE(SessionId().empty());
    }
    void TearDown() override { test::ForgetRecorder(); }

    const recorder::DemoArchive& Archive() const { return server->archive(); }
    const recorder::Recording& RecordingOfSize(uint32_t width, uint32_t height) const {
        for (const recorder::DemoSource& source : Archive().sources())
            if (source.width == width && source.height == height && !Archive().recordings(source.index).empty())
                return Archive().recordings(source.index).front();
        throw std::runtime_error("no recording of that size");
    }

    void Start(CRemoteFilter& proxy, const CFilterDescriptor& descriptor, CFilterIcpClient& client) {
        ASSERT_EQ(1, proxy.Init(descriptor));
        proxy.PublishInfo();
        ASSERT_TRUE(Registered(descriptor.name));
        ASSERT_EQ(1, client.Open(descriptor.name.c_str()));
    }
    void StartManager() { Start(*playback, CRemotePlaybackManager::MakeDescriptor(), managerClient); }
    int OpenFile(const std::string& name) { return managerClient.SendCommandText(kPlaybackOpenFile, 0, name.c_str()); }
    int CloseFile(const std::string& name) { return managerClient.SendCommandText(kPlaybackCloseFile, 0, name.c_str()); }
    void OpenStream(const std::string& fileName, CFilterIcpClient& stream) {
        ASSERT_EQ(1, OpenFile(fileName)) << fileName;
        ASSERT_TRUE(Registered(FrameSourceName(fileName)));
        ASSERT_EQ(1, stream.Open(FrameSourceName(fileName).c_str()));
    }

    std::unique_ptr<recorder::RecorderServer> server;
    CRemoteArchiveQuery archive;
    CFilterIcpClient archiveClient;
    std::unique_ptr<CRemotePlaybackManager> playback = std::make_unique<CRemotePlaybackManager>();
    CFilterIcpClient managerClient;
};

TEST_F(RecorderChannelTest, OpenedFileGetsAStreamProxyWhoseFramesArriveDecoded) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    recorder::FrameStore served(Archive(), {.readAhead = 0});  // makes the JPEGs the stand-in serves
    const recorder::Recording& rec = RecordingOfSize(1600, 1200);
    CFilterIcpClient stream;
    ASSERT_NO_FATAL_FAILURE(OpenStream(rec.fileName, stream));
    for (uint32_t frame : {0u, rec.frameCount - 1}) {
        ASSERT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, frame, 0, nullptr, 0)) << frame;
        const IcpRecord* answer = stream.Answer();
        ASSERT_EQ(std::tuple(kIcpEncodingPicture, 1600u * 1200 * 3, Archive().holdTimeMs(rec, frame)),
                  std::tuple(answer->encoding, answer->dataLength, answer->param3));
        const std::string& jpeg = *served.frame(rec, frame);
        std::vector<uint8_t> pixels(answer->dataLength);
        uint32_t size = uint32_t(jpeg.size());
        ASSERT_EQ(1, DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.data()), size, pixels.data(), answer->dataLength));
        EXPECT_EQ(0, std::memcmp(pixels.data(), answer->data, pixels.size())) << frame;
    }
    EXPECT_EQ(1u, playback->StreamCount());
}

TEST_F(RecorderChannelTest, ProxyLivesUntilTheFileIsClosedAsOftenAsItWasOpened) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    // A refused open makes no proxy; the close still goes to the recorder, whose refusal is the result.
    const std::string missing = "D:\\Archive\\CAM01\\1999\\01\\01\\000000.avi";
    EXPECT_EQ(0, OpenFile(missing));
    EXPECT_EQ(0, CloseFile(missing));
    EXPECT_EQ(0u, playback->StreamCount());
    EXPECT_EQ(server->stats().requests, server->stats().refused + 1);  // only the login was served

    const std::string name = RecordingOfSize(704, 576).fileName, proxyName = FrameSourceName(name);
    std::string upper = name;  // the same file in other letter case
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    CFilterIcpClient stream;
    ASSERT_NO_FATAL_FAILURE(OpenStream(name, stream));
    const platform::Hwnd window = CMessageQueueManager::FindQueue(proxyName);
    ASSERT_EQ(1, OpenFile(upper));
    EXPECT_EQ(std::tuple(1u, 2u), std::tuple(playback->StreamCount(), playback->StreamUseCount(name)));
    EXPECT_EQ(1, CloseFile(name));
    EXPECT_EQ(window, CMessageQueueManager::FindQueue(proxyName));
    EXPECT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, 3, 0, nullptr, 0));
    EXPECT_EQ(1, CloseFile(upper));
    EXPECT_TRUE(Gone(proxyName));
    EXPECT_EQ(0, stream.SendCommand(kFrameSourceGetFrame, 3, 0, nullptr, 0));
}

TEST_F(RecorderChannelTest, ClosingAllStreamsAndShuttingDownRemoveEveryProxy) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    const std::string small = RecordingOfSize(704, 576).fileName, large = RecordingOfSize(1600, 1200).fileName;
    for (const std::string& name : {small, small, large}) ASSERT_EQ(1, OpenFile(name)) << name;
    EXPECT_EQ(2u, playback->CloseAllStreams());
    EXPECT_TRUE(Gone(FrameSourceName(small)) && Gone(FrameSourceName(large)));
    // The manager goes on serving; its shutdown closes the proxies opened since.
    ASSERT_EQ(1, OpenFile(small));
    managerClient.Close();
    playback.reset();
    EXPECT_TRUE(Gone(FrameSourceName(small)) && Gone(kPlaybackManagerFilterName));
}

TEST_F(RecorderChannelTest, BadBaseUrlsAndAClosedPortFailAndShortenTheConnectTimeOut) {
    ASSERT_NO_FATAL_FAILURE(Start(archive, CRemoteArchiveQuery::MakeDescriptor(), archiveClient));
    auto listSources = [&] { return archiveClient.SendCommand(kArchiveListSources, 0, 0, nullptr, 0); };
    const std::string hostAndPort = server->baseUrl().substr(std::string("http://").size());
    const uint64_t served = server->stats().requests;
    SetConsecutiveFailures(2);
    for (const std::string& base : {"https://" + hostAndPort, "http:/" + hostAndPort, hostAndPort, std::string()}) {
        SetFilterServerURL(base);
        EXPECT_EQ(0, listSources()) << base;
        EXPECT_EQ(2, ConsecutiveFailures()) << base;
    }
    EXPECT_EQ(served, server->stats().requests);

    SetConsecutiveFailures(0);
    SetFilterServerURL("http://127.0.0.1:" + std::to_string(test::ClosedPort()));
    for (int32_t request = 1; request <= 4; ++request) {
        EXPECT_EQ(request <= 3 ? 2000u : 100u, CHttpRequest().ConnectTimeoutMs()) << request;
        EXPECT_EQ(0, listSources());
        EXPECT_EQ(request, ConsecutiveFailures());
    }
    SetFilterServerURL("HTTP://" + hostAndPort);  // the scheme in any case
    EXPECT_EQ(1, listSources());
    EXPECT_EQ(std::tuple(0, 2000u), std::tuple(ConsecutiveFailures(), CHttpRequest().ConnectTimeoutMs()));
}

// Each fault of the stand-in fails the frame request and leaves the answer
// the player holds as it was; the next request works again.
struct FaultCase {
    const char* name;
    double recorder::FaultConfig::*share;  // none: the server stalls
    int32_t transportFailures;
};

class RecorderFaultTest : public RecorderChannelTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(RecorderFaultTest, FailsCleanlyAndTheNextFrameArrives) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    const recorder::Recording& rec = RecordingOfSize(704, 576);
    CFilterIcpClient stream;
    ASSERT_NO_FATAL_FAILURE(OpenStream(rec.fileName, stream));
    ASSERT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, 10, 0, nullptr, 0));
    const auto* held = reinterpret_cast<const uint8_t*>(stream.Answer());
    const std::vector<uint8_t> before(held, held + kIcpHeaderSize + stream.Answer()->dataLength);

    recorder::FaultConfig faults;
    if (GetParam().share != nullptr) {
        faults.*GetParam().share = 1;
        server->setFaults(faults);
    } else {
        server->stallFor((CHttpRequest::kStallTimeoutSeconds + 20) * 1000);  // outlasts the request's patience
    }
    // Another frame than the one held, so a half-decoded picture would differ.
    EXPECT_EQ(0, stream.SendCommand(kFrameSourceGetFrame, 40, 0, nullptr, 0));
    EXPECT_EQ(GetParam().transportFailures, ConsecutiveFailures());
    ASSERT_EQ(before.size(), kIcpHeaderSize + stream.Answer()->dataLength);
    EXPECT_EQ(0, std::memcmp(before.data(), stream.Answer(), before.size()));

    server->setFaults(recorder::FaultConfig{});
    ASSERT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, 40, 0, nullptr, 0));
    EXPECT_EQ(std::tuple(704u * 576 * 3, Archive().holdTimeMs(rec, 40), 0),
              std::tuple(stream.Answer()->dataLength, stream.Answer()->param3, ConsecutiveFailures()));
}

TEST_F(RecorderChannelTest, AfterAStallOrdinaryRequestsGiveUpSoonerUntilAnAnswer) {
    // After a stall the ordinary wait shrinks; a request that waits for a slow answer keeps its wait.
    const uint32_t ordinary = CHttpRequest::kStallTimeoutSeconds, slow = CHttpRequest::kSlowAnswerStallTimeoutSeconds;
    EXPECT_EQ(std::tuple(ordinary, CHttpRequest::kAfterStallTimeoutSeconds, slow),
              std::tuple(CHttpRequest::StallTimeoutFor(0, ordinary), CHttpRequest::StallTimeoutFor(1, ordinary),
                         CHttpRequest::StallTimeoutFor(7, slow)));

    const std::string url = server->baseUrl() + "/Filter?Message&SID=&Name=x&Data=";
    SetConsecutiveStalls(0);
    server->stallFor(60000);
    CHttpRequest first;
    first.SetStallTimeoutSeconds(1);  // the ordinary wait would only make the test slower
    EXPECT_EQ(first.Get(url), 0);
    EXPECT_EQ(ConsecutiveStalls(), 1);
    EXPECT_EQ(CHttpRequest().Get(url), 0);
    EXPECT_EQ(ConsecutiveStalls(), 2);
    server->setFaults({});  // ends the stall
    EXPECT_EQ(CHttpRequest().Get(url), 1);
    EXPECT_EQ(ConsecutiveStalls(), 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, RecorderFaultTest,
                         ::testing::Values(FaultCase{"EmptyBody", &recorder::FaultConfig::emptyShare, 0},
                                           FaultCase{"TruncatedJpeg", &recorder::FaultConfig::truncatedJpegShare, 0},
                                           FaultCase{"DroppedConnection", &recorder::FaultConfig::dropShare, 1},
                                           FaultCase{"StalledServer", nullptr, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvanta
