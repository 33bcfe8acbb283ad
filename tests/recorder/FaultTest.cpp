#include <signal.h>

#include <thread>

#include "RecorderTestSupport.h"
#include "recorder/CommandLine.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"

namespace corvanta::recorder::test {
namespace {

using corvanta::test::PeerProcess;

class FaultTest : public RecorderFixture {
protected:
    void SetUp() override {
        RecorderFixture::SetUp();
        file_ = sessionsOn("CAM01", 1).at(0).fileName;
        open(file_);
    }
    HttpResult sources(long timeoutMs = 20000) const {
        return send(kArchiveQueryFilterName, sid_, kArchiveListSources, 0, 0, {}, timeoutMs);
    }
    HttpResult picture() const { return send(frameSourceName(file_), sid_, kFrameSourceGetFrame, 5); }

    std::string file_;
};

// Each answer fault failing a frame request cleanly is the channel tests' part;
// here, that it hits every request at share one and counts.
TEST_F(FaultTest, AnswerFaultsHitEveryRequestAtShareOneUntilSwitchedOff) {
    const Decoded intact = ask(frameSourceName(file_), sid_, kFrameSourceGetFrame, 5);
    server_->setFaults({.emptyShare = 1});
    EXPECT_TRUE(sources().body.empty() && picture().body.empty());
    server_->setFaults({.truncatedJpegShare = 1});
    auto cut = decodeAnswer(picture().body);
    ASSERT_TRUE(cut) << "the record stays well-formed; only its picture is cut";
    EXPECT_TRUE(!cut->data.empty() && cut->data.size() < intact.data.size() && intact.data.starts_with(cut->data));
    EXPECT_FALSE(sources().body.empty()) << "answers without a picture are untouched";
    server_->setFaults(FaultConfig{});
    EXPECT_FALSE(picture().body.empty());
    EXPECT_EQ(server_->stats().faulted, 3u);
}

// A client that gives up quickly times out; it is answered once the fault is off.
TEST_F(FaultTest, DelayAndStallHoldRequestsBackUntilSwitchedOff) {
    auto heldBack = [&] { return sources(300).code == CURLE_OPERATION_TIMEDOUT; };
    server_->setFaults({.delayMs = 5000});
    EXPECT_TRUE(heldBack());
    server_->setFaults(FaultConfig{});
    server_->stallFor(5000);
    EXPECT_TRUE(heldBack());
    server_->setFaults(FaultConfig{});  // also ends the stall
    EXPECT_FALSE(sources().body.empty());

    server_->setFaults({.stallAfterRequests = 2, .stallMs = 5000});
    EXPECT_FALSE(sources().body.empty()) << "the first request comes before the stall";
    EXPECT_TRUE(heldBack());
    EXPECT_TRUE(heldBack()) << "the stall holds later requests too";
}

// A link delays each request on its own: requests on separate connections
// wait out the delay side by side, none queued behind another. The delay is
// long, so all of them are seen waiting at once; switching it off frees them.
TEST_F(FaultTest, DelayHoldsConcurrentRequestsSideBySide) {
    constexpr uint32_t kClients = 3;  // the fixture's server serves 4 connections
    server_->setFaults({.delayMs = 600000});
    std::vector<HttpResult> answers(kClients);
    std::vector<std::thread> clients;
    for (uint32_t i = 0; i < kClients; ++i) clients.emplace_back([&, i] { answers[i] = sources(); });
    EXPECT_TRUE(corvanta::test::WaitFor([&] { return server_->stats().waits.waitingNow == kClients; }, 10000))
        << server_->stats().waits.waitingNow << " of " << kClients << " requests waiting";
    server_->setFaults(FaultConfig{});
    for (auto& c : clients) c.join();
    for (const HttpResult& a : answers) EXPECT_FALSE(a.body.empty());
    EXPECT_EQ(server_->stats().waits.waitingNow, 0u);

    server_->setFaults({.delayMs = 50});
    EXPECT_FALSE(sources().body.empty());
    EXPECT_EQ(server_->stats().waits.mostWaitingAtOnce, 1u) << "configure starts the count again";
}

TEST_F(FaultTest, StopEndsWaitingRequests) {
    server_->setFaults({.delayMs = 600000});
    HttpResult held;
    std::thread client([&] { held = sources(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server_->stop();  // must not wait ten minutes for the delayed request
    client.join();
    EXPECT_TRUE(held.body.empty()) << "a request cut short by the stop carries no answer";
}

TEST(Lifecycle, PortZeroServesUntilStopAndABusyPortIsReported) {
    RecorderServer server(testConfig());
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    EXPECT_TRUE(httpGet(server.baseUrl() + "/nothing").ok());
    // httplib's default would let a second server share the port silently.
    RecorderConfig c = testConfig();
    c.port = server.port();
    RecorderServer second(c);
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find(std::to_string(server.port())), std::string::npos) << error;

    server.stop();
    server.stop();  // a second stop is harmless
    EXPECT_EQ(httpGet(server.baseUrl() + "/nothing", 2000).code, CURLE_COULDNT_CONNECT);
}

TEST(Executable, HelpNamesOnlyOptionsTheParserTakesAndABadOneExitsWithTwo) {
    const std::string help = usageText();
    for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
        const std::string flag = help.substr(at, help.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2) - at);
        std::vector<std::string> args{flag};
        if (flag != "--help" && flag != "--verbose") args.push_back(flag == "--date" ? "2024-03-02" : flag == "--bind" ? "::1" : "1");
        CommandLine cl;
        std::string error;
        EXPECT_TRUE(parseCommandLine(args, cl, error)) << flag << ": " << error;
    }
    PeerProcess c(CORVANTA_RECORDER_EXE, {"--date", "2024-02-30"}, true);
    ASSERT_TRUE(c.Started());
    EXPECT_EQ(c.ReadAll(), "");
    EXPECT_NE(c.ReadAll(2).find("corvanta-recorder:"), std::string::npos);
    EXPECT_EQ(c.Wait(), 2);
}

TEST(Executable, ServesInTheForegroundLogsEachRequestAndStopsOnASignal) {
    PeerProcess c(CORVANTA_RECORDER_EXE, {"--port", "0", "--date", "2024-03-02", "-v"}, true);
    ASSERT_TRUE(c.Started());
    const std::string banner = c.ReadLine();
    const size_t at = banner.find("listening on http://");
    ASSERT_NE(at, std::string::npos) << banner;
    const std::string base = banner.substr(at + 13, banner.find(' ', at + 13) - (at + 13));
    const std::string login = makeRequestRecord(kIcpCommand, kPrivilegeLogIn, 0, 0, bytesOf(loginRecord("demo", "demo")));
    auto d = decodeAnswer(httpGet(base + "/Filter?Message&SID=&Name=Main%20User%20Privilege&Data=" + hexOf(login)).body);
    EXPECT_TRUE(d && !d->data.empty());

    ASSERT_EQ(::kill(c.Pid(), SIGTERM), 0);
    const std::string rest = c.ReadAll(), log = c.ReadAll(2);
    EXPECT_EQ(c.Wait(), 0);
    EXPECT_NE(log.find("\"Main User Privilege\" kind 3 code 14 "), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << "one line per request: " << log;
    EXPECT_NE(rest.find("served 1 requests"), std::string::npos) << rest;
}

}  // namespace
}  // namespace corvanta::recorder::test
