// Fault injection: each mode does what it says to the answers, applies to
// the configured share of requests, and goes away when switched off.

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

class FaultTest : public RecorderFixture {
protected:
    void SetUp() override {
        RecorderFixture::SetUp();
        sid_ = logIn();
        ASSERT_FALSE(sid_.empty());
        const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveListSessions, (kAnchor.year << 16) | kAnchor.month, 1,
                              textData("CAM01"));
        file_ = d.entry<SessionEntry>(0).fileName;
        ask(kPlaybackManagerFilterName, sid_, kPlaybackOpenFile, 0, 0, textData(file_));
        source_ = file_;
        for (char& c : source_)
            if (c == '\\') c = ' ';
    }

    HttpResult sources(long timeoutMs = 20000) {
        const std::string rec = makeRequestRecord(kIcpCommand, kArchiveListSources, 0, 0, {});
        return httpGet(url(kArchiveQueryFilterName, sid_, encodeHex({reinterpret_cast<const uint8_t*>(rec.data()), rec.size()})),
                       timeoutMs);
    }

    std::string sid_, file_, source_;
};

TEST_F(FaultTest, EmptyShareOfOneEmptiesEveryAnswerUntilSwitchedOff) {
    FaultConfig f;
    f.emptyShare = 1;
    server_->setFaults(f);
    for (int i = 0; i < 5; ++i) {
        const HttpResult r = sources();
        ASSERT_TRUE(r.ok());
        EXPECT_TRUE(r.body.empty());
    }
    EXPECT_TRUE(send(source_, sid_, kFrameSourceGetFrame, 0).body.empty());
    server_->setFaults(FaultConfig{});
    EXPECT_FALSE(sources().body.empty());
    EXPECT_GE(server_->stats().faulted, 6u);
}

TEST_F(FaultTest, GarbageIsNeverAValidRecord) {
    FaultConfig f;
    f.garbageShare = 1;
    f.seed = 99;
    server_->setFaults(f);
    for (int i = 0; i < 20; ++i) {
        const HttpResult r = sources();
        ASSERT_TRUE(r.ok());
        EXPECT_FALSE(r.body.empty());
        EXPECT_FALSE(decodeAnswer(r.body)) << "garbage must not decode as an answer";
    }
}

TEST_F(FaultTest, TruncatedJpegIsAPrefixOfTheRealFrameAndOtherAnswersAreUntouched) {
    auto intact = decodeAnswer(send(source_, sid_, kFrameSourceGetFrame, 5).body);
    ASSERT_TRUE(intact);
    ASSERT_TRUE(decodeJpeg(intact->data));
    FaultConfig f;
    f.truncatedJpegShare = 1;
    server_->setFaults(f);
    for (int i = 0; i < 5; ++i) {
        auto cut = decodeAnswer(send(source_, sid_, kFrameSourceGetFrame, 5).body);
        ASSERT_TRUE(cut) << "the record stays well-formed; only its picture is cut";
        EXPECT_EQ(cut->header.encoding, kIcpEncodingPicture);
        ASSERT_GT(cut->data.size(), 0u);
        ASSERT_LT(cut->data.size(), intact->data.size());
        EXPECT_EQ(intact->data.compare(0, cut->data.size(), cut->data), 0);
    }
    // Answers without a picture have nothing to cut.
    EXPECT_EQ(decodeAnswer(sources().body).value_or(Decoded{}).header.param1, server_->archive().sources().size());
}

TEST_F(FaultTest, DroppedConnectionsCarryNoAnswer) {
    FaultConfig f;
    f.dropShare = 1;
    server_->setFaults(f);
    for (int i = 0; i < 3; ++i) {
        const HttpResult r = sources();
        EXPECT_EQ(r.code, CURLE_GOT_NOTHING) << curl_easy_strerror(r.code);
        EXPECT_TRUE(r.body.empty());
    }
    server_->setFaults(FaultConfig{});
    EXPECT_FALSE(sources().body.empty());
}

TEST_F(FaultTest, SharesApplyToAboutTheirPartOfRequests) {
    FaultConfig f;
    f.emptyShare = 0.5;
    f.seed = 1234;
    server_->setFaults(f);
    int empty = 0;
    const int total = 200;
    for (int i = 0; i < total; ++i) empty += sources().body.empty() ? 1 : 0;
    // Binomial(200, 0.5): far outside 60..140 only if the share is ignored.
    EXPECT_GT(empty, 60);
    EXPECT_LT(empty, 140);
}

TEST_F(FaultTest, DelayAndStallHoldRequestsBack) {
    // A client that gives up quickly sees a delayed or stalled server time out;
    // the same client gets its answer once the fault is off.
    FaultConfig f;
    f.delayMs = 5000;
    server_->setFaults(f);
    EXPECT_EQ(sources(300).code, CURLE_OPERATION_TIMEDOUT);
    server_->setFaults(FaultConfig{});
    EXPECT_FALSE(sources(10000).body.empty());

    server_->stallFor(5000);
    EXPECT_EQ(sources(300).code, CURLE_OPERATION_TIMEDOUT);
    server_->setFaults(FaultConfig{});  // also ends the stall
    EXPECT_FALSE(sources(10000).body.empty());

    FaultConfig stall;
    stall.stallAfterRequests = 2;
    stall.stallMs = 5000;
    server_->setFaults(stall);
    EXPECT_FALSE(sources(10000).body.empty()) << "the first request comes before the stall";
    EXPECT_EQ(sources(300).code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(sources(300).code, CURLE_OPERATION_TIMEDOUT) << "the stall holds later requests too";
}

TEST_F(FaultTest, StopEndsWaitingRequests) {
    FaultConfig f;
    f.delayMs = 600000;
    server_->setFaults(f);
    HttpResult held;
    std::thread client([&] { held = sources(20000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server_->stop();  // must not wait ten minutes for the delayed request
    client.join();
    EXPECT_FALSE(server_->running());
    EXPECT_TRUE(held.body.empty()) << "a request cut short by the stop carries no answer";
}

}  // namespace
}  // namespace corvanta::recorder::test
