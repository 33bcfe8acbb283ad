// The playback widgets against the recorder stand-in in this process,
// through the real proxies, HTTP and decoding.

#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QSlider>

#include <cstring>

#include "playback/TimelineColumns.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CJogSlider.h"
#include "playback/ui/CMotionHistoryDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CPositionSlider.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CTimelineBar.h"
#include "playback/ui/CVideoView.h"
#include "playback/ui/PlayerTestSupport.h"
#include "recorder/FrameRenderer.h"
#include "recorder/RecorderServer.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteFilter.h"
#include "remote/RemotePlaybackManager.h"
#include "remote/RemoteSession.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/UserAccess.h"

namespace corvanta {
namespace {

using namespace test;
using recorder::CivilDate;

recorder::RecorderConfig Config() {
    recorder::RecorderConfig config;
    config.port = 0;
    // One per kept-alive connection: the privilege proxy, the manager and a stream.
    config.threads = 4;
    config.anchorDate = CivilDate{2026, 12, 5};
    config.frames.readAhead = 0;  // only what the player asks for: every eighth frame at speed 9
    config.log = [](const std::string&) {};
    return config;
}

// The position slider let go at `frame`.
void Seek(CPositionSlider* slider, int frame) {
    Mouse(*slider, QEvent::MouseButtonPress, 2);
    slider->setSliderPosition(frame);
    Mouse(*slider, QEvent::MouseButtonRelease, 2);
}

// Not the closed view's white: some pixel of the middle row has colour.
bool ShowsAFrame(CVideoView* view) {
    const QImage shown = view->grab().toImage();
    for (int x = 0; x < shown.width(); x += 7)
        if ((shown.pixel(x, shown.height() / 2) & 0xFFFFFF) != 0xFFFFFF) return true;
    return false;
}

// Pixels of a player's picture (bottom-up BGR) far from a rendered frame's
// (top-down RGB): the burned-in texts of another second differ in hundreds.
size_t DifferingPixels(const CFrameImage& shown, const recorder::RgbImage& frame) {
    size_t n = 0;
    for (uint32_t y = 0; y < frame.height; ++y)
        for (uint32_t x = 0; x < frame.width; ++x) {
            const uint8_t* got = shown.Bits() + (size_t(shown.Height() - 1 - y) * shown.Width() + x) * 3;
            const uint8_t* want = &frame.pixels[(size_t(y) * frame.width + x) * 3];
            n += std::abs(got[2] - want[0]) > 100 || std::abs(got[1] - want[1]) > 100 || std::abs(got[0] - want[2]) > 100;
        }
    return n;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        SetFilterServerURL(server.baseUrl());
        ASSERT_EQ(1, privilege.Startup());
        ASSERT_EQ(1, LogIn("demo", "demo").loggedIn);
        playback.Init(CRemotePlaybackManager::MakeDescriptor());
        archive.Init(CRemoteArchiveQuery::MakeDescriptor());
        view->resize(1000, 860);
        view->show();
    }
    void TearDown() override {
        view.reset();  // while the manager and its proxies are up
        archive.Close();
        playback.Close();
        privilege.Close();
        SetSessionId("");
        SetFilterServerURL("");
    }
    void ShowPlayer(platform::WParam which, platform::LParam show) {
        platform::SendMessage(view->Window(), platform::RegisterWindowMessage(kShowPlayerMessage), which, show);
    }

    PlayerWorld world;
    recorder::RecorderServer server{Config()};
    CUserPrivilegeProxy privilege;
    CRemotePlaybackManager playback;
    CRemoteArchiveQuery archive;
    std::unique_ptr<CArchiveViewDlg> view = std::make_unique<CArchiveViewDlg>();
};

TEST_F(EndToEnd, A1600x1200FilePlaysStepsSeeksJogsAndReachesTheNextFile) {
    CPlayerDlg* player = view->Player();
    CPlayerControlDlg* panel = player->Panel();
    const PlaybackState& state = player->State();
    Owner owner;
    ShowPlayer(0, 1);
    ASSERT_TRUE(player->isVisible());

    const recorder::Recording& rec = server.archive().recordings(1).front();
    ASSERT_EQ(1600u, server.archive().sourceOf(rec).width);
    CFilterIcpClient manager;
    ASSERT_EQ(1, manager.Open(kPlaybackManagerFilterName));
    ASSERT_NE(0, manager.SendCommandText(kPlaybackOpenFile, 0, rec.fileName.c_str()));
    FileDescription description;
    ASSERT_GE(manager.Answer()->dataLength, sizeof description);
    std::memcpy(&description, manager.Answer()->data, sizeof description);
    const PlayerOpenBlock block = MakePlayerOpenBlock(description, 0, rec.fileName.c_str());
    ASSERT_EQ(1, SendToPlayer(kStandalonePlayerName, kPlayerOpen, owner.Handle(), 42, &block));
    ASSERT_EQ((std::vector<uint32_t>{0}), owner.frames);
    EXPECT_EQ(1u, state.paused);
    EXPECT_TRUE(ShowsAFrame(player->View()));

    // Speed 5 shows every frame, speed 9 every eighth.
    for (const uint32_t speed : {5u, 9u}) {
        panel->SpeedSlider()->setValue(int(speed));
        panel->SpeedReleased();
        panel->Play();
        owner.frames.clear();
        ASSERT_TRUE(PumpUntil([&] { return owner.frames.size() >= 3; }, 120000));
        for (size_t i = 1; i < 3; ++i) EXPECT_EQ(owner.frames[i - 1] + (speed == 5 ? 1 : 8), owner.frames[i]);
    }
    panel->Pause();
    QCoreApplication::processEvents();

    // Steps both ways, a seek, and the jog held forward.
    const uint32_t here = state.currentFrame;
    owner.frames.clear();
    panel->StepForward();
    panel->StepBack();
    panel->StepBack();
    EXPECT_EQ((std::vector<uint32_t>{here + 1, here, here - 1}), owner.frames);
    Seek(player->PositionSlider(), 1000);
    EXPECT_EQ(1000u, owner.frames.back());
    panel->JogSlider()->setValue(19);
    ASSERT_TRUE(PumpUntil([&] { return state.currentFrame >= 1002; }, 120000));
    Mouse(*panel->JogSlider(), QEvent::MouseButtonRelease, 2);
    EXPECT_EQ(kJogMiddle, panel->JogPosition());

    // At speed 9 to the end, where the owner hears of it.
    Seek(player->PositionSlider(), int(rec.frameCount) - 40);
    panel->SpeedSlider()->setValue(9);
    panel->SpeedReleased();
    owner.frames.clear();
    panel->Play();
    ASSERT_TRUE(PumpUntil([&] { return !owner.ends.empty(); }, 120000));
    EXPECT_EQ(42u, owner.ends.front());
    ASSERT_GE(owner.frames.size(), 4u);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(owner.frames[i - 1] + 8, owner.frames[i]);
    EXPECT_EQ(rec.frameCount - 1, state.currentFrame);
    EXPECT_EQ(0u, state.playing);
    EXPECT_TRUE(ShowsAFrame(player->View()));
    EXPECT_TRUE(view->grab().save(SCREENSHOT_DIR "/player_1600x1200.png"));

    SendToPlayer(kStandalonePlayerName, kPlayerClose);
    manager.SendCommandText(kPlaybackCloseFile, 0, rec.fileName.c_str());
    EXPECT_EQ(0u, playback.StreamCount());
}

class MotionHistoryEndToEnd : public EndToEnd {
protected:
    void SetUp() override {
        EndToEnd::SetUp();
        ShowPlayer(1, 1);
    }
    // The sessions of a day of CAM01 as the tree keeps them.
    std::unique_ptr<DayPayload> LoadDay(uint16_t date) {
        auto day = std::make_unique<DayPayload>();
        day->year = 2026, day->month = 12, day->day = date;
        CFilterIcpClient query;
        query.Open(kArchiveQueryFilterName);
        query.SendCommandText(kArchiveListSessions, 2026 << 16 | 12, "CAM01", date);
        const IcpRecord* a = query.Answer();
        for (uint32_t i = 0; a && (i + 1) * sizeof(SessionEntry) <= a->dataLength; ++i) {
            SessionEntry e;
            std::memcpy(&e, a->data + i * sizeof e, sizeof e);
            auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
            SessionPayload& s = *node->session;
            s.index = i, s.sourceId = "CAM01", s.fileName = e.fileName, s.start = e.start, s.stop = e.stop;
            day->sessions.Add(std::move(node));
        }
        return day;
    }
    // Clicks the upper bar at `second`, shown among the ten minutes around it,
    // and lets the update timer act on the click; the second hit.
    int32_t Click(int32_t second) {
        timeline->RangeSlider()->SetRange(second - 300, second + 300, CDayTimelineDlg::kMinimumGap);
        platform::SendMessage(timeline->Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);
        double left = 0, right = 0;
        timeline->RangeSlider()->GetRange(left, right);
        const TimelineScale scale{int32_t(left), int32_t(right), timeline->UpperBar()->width()};
        const QPointF at(scale.X(second), 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(timeline->UpperBar(), &press);
        EXPECT_TRUE(PumpUntil([&] { return !timeline->UpperBar()->LeftClicked(); }, 5000));
        return scale.SecondAt(scale.X(second));
    }

    CDayTimelineDlg* timeline = view->MotionHistory()->Timeline();
    CPlayerDlg* player = view->MotionHistory()->Player();
    const PlaybackState& state = player->State();
};

TEST_F(MotionHistoryEndToEnd, AClickedSecondShowsItsOwnFrameAndTheNextFileFollows) {
    const recorder::DemoArchive& demo = server.archive();
    const recorder::Seconds midnight = recorder::startOfDay(CivilDate{2026, 12, 4});
    const auto recs = demo.overlapping(0, midnight, midnight + 86400);
    auto day = LoadDay(4);
    ASSERT_EQ(recs.size(), day->sessions.Size());
    ASSERT_LT(recs.front()->start, midnight);  // the night file of the day before
    ASSERT_EQ(1, SendIcpCommand(kMotionHistoryFilterName, kMotionHistoryShowDay, day->Handle(), 0,
                                static_cast<const void*>(nullptr), 0));

    // The night file's frame table is asked from 00:00:00; the picture is
    // the clicked second's, not the next second's.
    const int32_t second = Click(int32_t((midnight + recs[0]->stop) / 2 - midnight));
    const uint32_t frame = demo.frameInSecond(*recs[0], midnight + second).value();
    ASSERT_EQ(frame, state.currentFrame);
    EXPECT_EQ(recs[0]->fileName, timeline->Playback().CurrentFile());
    recorder::RgbImage right, later;
    recorder::FrameRenderer(demo).render(*recs[0], frame, right);
    recorder::FrameRenderer(demo).render(*recs[0], frame + 25, later);
    EXPECT_EQ(0u, DifferingPixels(player->Snapshot(), right));
    EXPECT_LT(200u, DifferingPixels(player->Snapshot(), later));
    EXPECT_TRUE(view->MotionHistory()->grab().save(SCREENSHOT_DIR "/motion_history.png"));

    // ">" on the last frame: the next file follows, playing; only it stays open.
    Seek(player->PositionSlider(), int(state.frameCount) - 1);
    player->Panel()->StepForward();
    ASSERT_TRUE(PumpUntil([&] { return timeline->Playback().CurrentFile() == recs[1]->fileName; }, 20000));
    EXPECT_TRUE(state.playing);
    EXPECT_EQ(1u, playback.StreamCount());

    // Between files nothing plays.
    Click(int32_t((recs[1]->stop + recs[2]->start) / 2 - midnight));
    EXPECT_EQ("", timeline->Playback().CurrentFile());
    ShowPlayer(1, 0);
    EXPECT_EQ(0u, playback.StreamCount());  // hidden, the view keeps nothing open
}

}  // namespace
}  // namespace corvanta
