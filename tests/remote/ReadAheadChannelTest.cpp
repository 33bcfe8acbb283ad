// The stream proxy's read-ahead against the recorder stand-in, whose every
// request goes over a link of 40 ms: the frames the player asks for, and
// only those, in the order asked, whatever the read-ahead has on its way.

#include <gtest/gtest.h>

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
#include "support/Files.h"

namespace corvanta {
namespace {

constexpr uint32_t kLinkDelayMs = 40;

class ReadAheadChannelTest : public test::InstanceTest {
protected:
    void SetUp() override { InstanceTest::SetUp(); }
    void TearDown() override {
        stream.Close();
        managerClient.Close();
        playback.reset();
        server.reset();
        test::ForgetRecorder();
    }

    // The stand-in on a free port with `threads` connections at once, logged
    // in, the manager proxy started and a 704 x 576 file open.
    void Serve(unsigned threads = 8, recorder::FaultConfig faults = {.delayMs = kLinkDelayMs}) {
        SetConsecutiveFailures(0);
        server = std::make_unique<recorder::RecorderServer>(recorder::RecorderConfig{
            .port = 0, .threads = threads, .seed = 7, .anchorDate = recorder::CivilDate{2024, 3, 2},
            .frames = {.readAhead = 2}, .folder = {}, .sessions = {}, .faults = faults, .log = [](const std::string&) {}});
        ASSERT_TRUE(server->start());
        SetFilterServerURL(server->baseUrl());
        LogIn();
        ASSERT_EQ(1, playback->Init(CRemotePlaybackManager::MakeDescriptor()));
        playback->PublishInfo();
        ASSERT_TRUE(Registered(kPlaybackManagerFilterName));
        ASSERT_EQ(1, managerClient.Open(kPlaybackManagerFilterName));
        recording = &RecordingOfSize(704, 576);
        ASSERT_EQ(1, managerClient.SendCommandText(kPlaybackOpenFile, 0, recording->fileName.c_str()));
        ASSERT_TRUE(Registered(FrameSourceName(recording->fileName)));
        ASSERT_EQ(1, stream.Open(FrameSourceName(recording->fileName).c_str()));
        served = std::make_unique<recorder::FrameStore>(server->archive(), recorder::FrameStoreOptions{.readAhead = 0});
    }

    void LogIn() {
        CRemoteFilter privilege;
        CFilterIcpClient client;
        ASSERT_EQ(1, privilege.Init({kUserPrivilegeFilterName, 8, 17, 0, 0, 1, "1.0.0", 64000, 64000}));
        privilege.PublishInfo();
        ASSERT_TRUE(Registered(kUserPrivilegeFilterName));
        ASSERT_EQ(1, client.Open(kUserPrivilegeFilterName));
        LoginRecord login{"demo", "demo", {}, 1};
        std::strcpy(login.userKind, kLoginUserKind);
        ASSERT_EQ(1, client.SendCommand(kPrivilegeLogIn, 0, 0, &login, sizeof login));
        const char* id = reinterpret_cast<const char*>(client.Answer()->data);
        SetSessionId(std::string(id, strnlen(id, client.Answer()->dataLength)));
    }

    const recorder::Recording& RecordingOfSize(uint32_t width, uint32_t height) const {
        const recorder::DemoArchive& archive = server->archive();
        for (const recorder::DemoSource& source : archive.sources())
            if (source.width == width && source.height == height && !archive.recordings(source.index).empty())
                return archive.recordings(source.index).front();
        throw std::runtime_error("no recording of that size");
    }

    // Asks for `frame` as the player does; true when the answer is that
    // frame: its pixels, as the stand-in's JPEG of it decodes, and its hold time.
    ::testing::AssertionResult Shows(uint32_t frame) {
        if (stream.SendCommand(kFrameSourceGetFrame, frame, 0, nullptr, 0) != 1)
            return ::testing::AssertionFailure() << "frame " << frame << " failed";
        return Holds(frame);
    }
    // Whether the answer at hand is `frame`.
    ::testing::AssertionResult Holds(uint32_t frame) {
        const IcpRecord* answer = stream.Answer();
        const std::string& jpeg = *served->frame(*recording, frame);
        std::vector<uint8_t> pixels(704 * 576 * 3);
        uint32_t size = uint32_t(jpeg.size());
        if (DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.data()), size, pixels.data(), uint32_t(pixels.size())) != 1)
            return ::testing::AssertionFailure() << "frame " << frame << " does not decode here";
        if (answer->dataLength != pixels.size() || std::memcmp(answer->data, pixels.data(), pixels.size()) != 0)
            return ::testing::AssertionFailure() << "frame " << frame << " answered with other pixels";
        if (answer->param3 != server->archive().holdTimeMs(*recording, frame))
            return ::testing::AssertionFailure() << "frame " << frame << " with another hold time";
        return ::testing::AssertionSuccess();
    }
    // Frames `from` to `to` (inclusive, either way), each shown.
    ::testing::AssertionResult Play(uint32_t from, uint32_t to) {
        const int32_t step = from <= to ? 1 : -1;
        for (uint32_t frame = from;; frame += step) {
            if (auto shown = Shows(frame); !shown) return shown;
            if (frame == to) return ::testing::AssertionSuccess();
        }
    }
    static uint64_t FromAhead(const CRemoteStreamFilter::Figures& f) { return f.kept + f.waited; }

    std::unique_ptr<recorder::RecorderServer> server;
    std::unique_ptr<CRemotePlaybackManager> playback = std::make_unique<CRemotePlaybackManager>();
    CFilterIcpClient managerClient;
    CFilterIcpClient stream;
    const recorder::Recording* recording = nullptr;
    std::unique_ptr<recorder::FrameStore> served;  // makes the JPEGs the stand-in serves
};

// Played as fast as frames come, 100 frames take 4 s over the link one at a
// time; read ahead, all but the first few (which tell the link is slow) come
// from requests made ahead, several of which the stand-in held at the same time.
TEST_F(ReadAheadChannelTest, PlayingTakesNearlyEveryFrameFromRequestsMadeAheadInOrder) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    const CRemoteStreamFilter::Figures before = CRemoteStreamFilter::ReadAheadFigures();
    ASSERT_TRUE(Play(0, 99));
    const CRemoteStreamFilter::Figures after = CRemoteStreamFilter::ReadAheadFigures();
    EXPECT_GE(FromAhead(after) - FromAhead(before), 90u);
    EXPECT_LE(after.direct - before.direct, 10u);
    EXPECT_GE(server->stats().waits.mostWaitingAtOnce, 3u) << "requests in flight side by side";

    // Switched off, every frame is one request made when asked for.
    CRemoteStreamFilter::SetReadAheadEnabled(false);
    EXPECT_TRUE(Play(100, 109));
    CRemoteStreamFilter::SetReadAheadEnabled(true);
    const CRemoteStreamFilter::Figures off = CRemoteStreamFilter::ReadAheadFigures();
    EXPECT_EQ(FromAhead(off), FromAhead(after));
}

// A recorder near by that has its frames at hand answers well within a
// frame's period: nothing is read ahead.
TEST_F(ReadAheadChannelTest, AFastLinkIsNotReadAhead) {
    ASSERT_NO_FATAL_FAILURE(Serve(8, {}));
    CRemoteStreamFilter::SetReadAheadEnabled(false);
    ASSERT_TRUE(Play(0, 30));  // the stand-in encodes them once
    CRemoteStreamFilter::SetReadAheadEnabled(true);
    const CRemoteStreamFilter::Figures before = CRemoteStreamFilter::ReadAheadFigures();
    ASSERT_TRUE(Play(0, 30));
    const CRemoteStreamFilter::Figures after = CRemoteStreamFilter::ReadAheadFigures();
    EXPECT_EQ(FromAhead(after), FromAhead(before));
    EXPECT_EQ(after.direct - before.direct, 31u);
}

TEST_F(ReadAheadChannelTest, ASeekDuringPlayShowsTheSoughtFrameNextAndPlayGoesOnFromThere) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    ASSERT_TRUE(Play(0, 20));
    const CRemoteStreamFilter::Figures before = CRemoteStreamFilter::ReadAheadFigures();
    ASSERT_TRUE(Play(300, 330));
    const CRemoteStreamFilter::Figures after = CRemoteStreamFilter::ReadAheadFigures();
    EXPECT_GT(after.cancelled, before.cancelled) << "what was on its way for 21 on was cancelled";
    EXPECT_GE(FromAhead(after) - FromAhead(before), 25u) << "and read-ahead starts again from the sought frame";
    // Back to a frame that was read ahead before the seek: fetched again, right.
    EXPECT_TRUE(Shows(22));
}

TEST_F(ReadAheadChannelTest, SteppingBackWhileReadAheadRunsForwardShowsEachFrameAskedFor) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    ASSERT_TRUE(Play(0, 30));
    EXPECT_TRUE(Play(29, 20)) << "against the direction";
    EXPECT_TRUE(Play(21, 40)) << "and forward again";
    for (uint32_t frame = 40; frame <= 80; frame += 8) EXPECT_TRUE(Shows(frame)) << "at the fastest step";
    EXPECT_TRUE(Shows(80)) << "the same frame again";
}

TEST_F(ReadAheadChannelTest, ClosingTheFileDuringReadAheadLeavesNoThreadAndNoConnection) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    const int threads = test::CountEntries("/proc/self/task");
    const uint32_t connections = server->stats().connections;  // the manager's
    ASSERT_TRUE(Play(0, 20));
    EXPECT_GT(server->stats().connections, connections + 2) << "the read-ahead's own connections";
    stream.Close();
    ASSERT_EQ(1, managerClient.SendCommandText(kPlaybackCloseFile, 0, recording->fileName.c_str()));
    EXPECT_TRUE(test::WaitFor([&] { return server->stats().connections == connections; }, 10000))
        << server->stats().connections << " connections, " << connections << " before";
    EXPECT_TRUE(test::WaitFor([&] { return test::CountEntries("/proc/self/task") < threads; }, 5000))
        << "the proxy's thread ends, and no other is left: " << test::CountEntries("/proc/self/task") << " threads, "
        << threads << " before";
}

// A recorder taking two connections at once: the stand-in holds a thread on each kept-alive connection, the login's and
// the open's too, for a few seconds: once a request ahead is left waiting,
// fewer go ahead for good and the idle ones close, so no frame the player
// asks for fails, and after those seconds frames come from ahead again.
TEST_F(ReadAheadChannelTest, ARecorderTakingTwoConnectionsSlowsReadAheadButNoFrameFails) {
    ASSERT_NO_FATAL_FAILURE(Serve(2));
    const CRemoteStreamFilter::Figures before = CRemoteStreamFilter::ReadAheadFigures();
    EXPECT_TRUE(Play(0, 200));
    EXPECT_TRUE(Play(199, 190));
    const CRemoteStreamFilter::Figures after = CRemoteStreamFilter::ReadAheadFigures();
    EXPECT_GE(FromAhead(after) - FromAhead(before), 100u) << after.gaveUp - before.gaveUp << " waits given up";
}

// Empty, garbage and cut-short answers and dropped connections, on requests
// made ahead as on the player's own: every frame answered is the one asked for.
TEST_F(ReadAheadChannelTest, AFaultyRecorderNeverShowsAnotherFrameThanTheOneAskedFor) {
    ASSERT_NO_FATAL_FAILURE(Serve(8, {.delayMs = kLinkDelayMs, .emptyShare = 0.05, .garbageShare = 0.05,
                                      .truncatedJpegShare = 0.05, .dropShare = 0.05, .seed = 3}));
    const CRemoteStreamFilter::Figures before = CRemoteStreamFilter::ReadAheadFigures();
    uint32_t shown = 0;
    for (uint32_t frame = 0; frame < 100; ++frame) {
        if (stream.SendCommand(kFrameSourceGetFrame, frame, 0, nullptr, 0) != 1) continue;
        ++shown;
        EXPECT_TRUE(Holds(frame));
    }
    EXPECT_GE(shown, 60u);
    EXPECT_GE(FromAhead(CRemoteStreamFilter::ReadAheadFigures()) - FromAhead(before), 40u) << "read ahead all along";
}

}  // namespace
}  // namespace corvanta
