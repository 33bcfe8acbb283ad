#include <thread>

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

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

}  // namespace
}  // namespace corvanta::recorder::test
